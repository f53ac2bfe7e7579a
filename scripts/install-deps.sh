#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the window need.
# Only missing packages are installed; sudo is used when we are not root.
set -e
PKGS="build-essential cmake g++ make pkg-config qt6-base-dev libgl-dev \
googletest libgtest-dev libgmock-dev fonts-dejavu-core fonts-wqy-microhei xvfb xauth imagemagick \
clang libclang-rt-14-dev dpkg-dev file lintian"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
# A fresh machine may have stale or empty package lists; refresh once and retry.
$SUDO apt-get install -y -q $missing || { $SUDO apt-get update -q && $SUDO apt-get install -y -q $missing; }
