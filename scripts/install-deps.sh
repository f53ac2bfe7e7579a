#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the window need (with --bench,
# also the benchmarks' yardstick).
# Only missing packages are installed; sudo is used when we are not root.
set -e
PKGS="build-essential cmake g++ make pkg-config qt6-base-dev qt6-svg-dev libgl-dev \
googletest libgtest-dev libgmock-dev fonts-dejavu-core fonts-wqy-microhei xvfb xauth imagemagick \
clang libclang-rt-14-dev dpkg-dev file lintian locales \
libmosquitto-dev mosquitto mosquitto-clients appstream systemd \
g++-mingw-w64-x86-64-posix wine64 zip"
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
# The MQTT tests start brokers of their own on free loopback ports; the broker Debian starts
# as a service on installation listens on 1883 for nothing of ours, so it is stopped.
if command -v systemctl >/dev/null 2>&1 && systemctl is-enabled -q mosquitto 2>/dev/null; then
    $SUDO systemctl disable mosquitto >/dev/null 2>&1 || true
    $SUDO systemctl stop mosquitto >/dev/null 2>&1 || true
fi
# Without systemd the init script may have started it; it stops only the broker it started.
if [ -x /etc/init.d/mosquitto ] && [ -e /run/mosquitto/mosquitto.pid ]; then
    $SUDO /etc/init.d/mosquitto stop >/dev/null 2>&1 || true
fi
# The tests run the program under a German locale (decimal comma) to prove that numbers keep
# their decimal point.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    echo "generating the de_DE.UTF-8 locale"
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen
fi
