#!/bin/sh
# Packs qtm200cli-<version>-windows-x64.zip from a Windows build: the .exe, the README for
# Windows users and the licence, with CR LF line ends so Notepad shows them as written.
# usage: scripts/package-windows.sh WINDOWS_BUILD_DIR
set -e
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(QTM200Debug VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="qtm200cli-$version-windows-x64"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/bin/qtm200cli.exe" "$stage/$name/"
sed 's/$/\r/' "$root/packaging/windows/README-Windows.txt" >"$stage/$name/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/$name/LICENSE.txt"
# Only Windows' own DLLs may be needed: the rest is linked in.
dlls=$(x86_64-w64-mingw32-objdump -p "$stage/$name/qtm200cli.exe" | sed -n 's/^\s*DLL Name: //p')
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll | advapi32.dll | shell32.dll | msvcrt.dll | user32.dll | ws2_32.dll) ;;
        *) echo "qtm200cli.exe needs $dll, which Windows does not bring" >&2; exit 1 ;;
    esac
done
rm -f "$build/$name.zip"
(cd "$stage" && zip -q -r -X "$build/$name.zip" "$name")
unzip -l "$build/$name.zip"
echo "$build/$name.zip"
