#!/bin/sh
# Checks a built .deb: unpacks it into a temporary root with dpkg -x, checks that every
# file a user needs is there, runs the installed qtm200cli on its built-in simulated
# meter, validates the AppStream metainfo, and runs lintian, which must report no error.
set -eu
deb=${1:?usage: check-package.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --info "$deb" >/dev/null
dpkg -x "$deb" "$root"

failed=0
for f in usr/bin/qtm200debug usr/bin/qtm200cli usr/bin/qtm200sim \
    usr/share/applications/io.github.qtm200debug.desktop \
    usr/share/metainfo/io.github.qtm200debug.metainfo.xml \
    usr/share/icons/hicolor/64x64/apps/qtm200debug.png \
    usr/share/icons/hicolor/scalable/apps/qtm200debug.svg \
    usr/share/man/man1/qtm200cli.1.gz usr/share/man/man1/qtm200sim.1.gz \
    usr/share/man/man1/qtm200debug.1.gz \
    usr/share/bash-completion/completions/qtm200cli \
    usr/share/doc/qtm200debug/copyright usr/share/doc/qtm200debug/changelog.gz \
    usr/lib/systemd/system/qtm200-logger@.service usr/lib/sysusers.d/qtm200.conf \
    usr/share/doc/qtm200debug/examples/logger-example.conf; do
    if [ ! -e "$root/$f" ]; then
        echo "missing from the package: /$f"
        failed=1
    fi
done
for p in qtm200debug qtm200cli qtm200sim; do
    [ -x "$root/usr/bin/$p" ] || { echo "not executable: /usr/bin/$p"; failed=1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for d in libqt6widgets6 qt6-qpa-plugins libc6; do
    case "$depends" in
        *"$d"*) ;;
        *) echo "Depends lacks $d: $depends"; failed=1 ;;
    esac
done

# The installed command-line tool on its built-in simulated meter.
out=$("$root/usr/bin/qtm200cli" --simulate --no-system-ports info) || {
    echo "the installed qtm200cli --simulate info failed"
    failed=1
}
case "$out" in
    *"model: "*) ;;
    *) echo "unexpected output of the installed qtm200cli: $out"; failed=1 ;;
esac
"$root/usr/bin/qtm200sim" --help >/dev/null || { echo "qtm200sim --help failed"; failed=1; }
# The completion loads in bash and knows the commands.
words=$(bash --norc --noprofile -c '. "$1" && COMP_WORDS=(qtm200cli li) COMP_CWORD=1 &&
    _qtm200cli && echo "${COMPREPLY[*]}"' sh "$root/usr/share/bash-completion/completions/qtm200cli") ||
    words=""
[ "$words" = "live" ] || { echo "the installed bash completion does not complete: $words"; failed=1; }

# Software centres read the metainfo: it must validate, and its newest release must be the
# package's version.
metainfo="$root/usr/share/metainfo/io.github.qtm200debug.metainfo.xml"
if [ -e "$metainfo" ]; then
    if command -v appstreamcli >/dev/null 2>&1; then
        appstreamcli validate --no-net "$metainfo" || { echo "the metainfo does not validate"; failed=1; }
    else
        echo "appstreamcli is not installed: the metainfo is not validated"
    fi
    version=$(dpkg-deb --field "$deb" Version)
    release=$(sed -n 's/.*<release [^>]*version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [ "$release" = "$version" ] || {
        echo "the metainfo's newest release is $release, the package is $version"
        failed=1
    }
fi

if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error "$deb" || { echo "lintian reports errors"; failed=1; }
else
    echo "lintian is not installed"
    failed=1
fi

if [ "$failed" -ne 0 ]; then
    echo "package check: FAILED ($deb)"
    exit 1
fi
echo "package check: $(basename "$deb") installs, runs and passes lintian"
