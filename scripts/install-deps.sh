#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the window need (with --bench,
# also the benchmarks' yardstick).
# Only missing packages are installed; sudo is used when we are not root.
set -e
PKGS="build-essential cmake g++ make pkg-config qt6-base-dev qt6-svg-dev libgl-dev \
googletest libgtest-dev libgmock-dev fonts-dejavu-core fonts-wqy-microhei xvfb xauth imagemagick \
clang libclang-rt-14-dev dpkg-dev file lintian locales"
# The chart benchmark measures itself against Qt Charts; nothing else links it.
if [ "${1:-}" = "--bench" ]; then PKGS="$PKGS qt6-charts-dev"; fi
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    # A fresh machine may have stale or empty package lists; refresh once and retry.
    $SUDO apt-get install -y -q $missing || { $SUDO apt-get update -q && $SUDO apt-get install -y -q $missing; }
fi
# The tests run the program under a German locale (decimal comma) to prove that numbers keep
# their decimal point.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    echo "generating the de_DE.UTF-8 locale"
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen
fi
