#!/bin/sh
# Renders the main window under Xvfb on the simulated meter and writes two pictures:
# OUT as the window opens (collapsed) and OUT with "-expanded" before its extension.
# The start-up message box closes itself (a hidden option of qtm200debug for this).
# usage: scripts/screenshot.sh [BIN_DIR] [OUT]
set -e
BIN=${1:-build/bin}
OUT=${2:-screenshot.png}
MODEL=${QTM_SCREENSHOT_MODEL:-QTX-210UVA}
EXPANDED="${OUT%.*}-expanded.${OUT##*.}"

# A display number nobody uses.
n=99
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n - 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB 2>/dev/null || true' EXIT INT TERM
sleep 1

shoot() {
    out=$1
    shift
    DISPLAY=":$n" "$BIN/qtm200debug" --simulate="$MODEL" --no-system-ports \
        --dismiss-messages-after=300 "$@" >/dev/null 2>&1 &
    app=$!
    sleep 4
    DISPLAY=":$n" import -window root -trim +repage "$out"
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    echo "wrote $out"
}

shoot "$OUT"
shoot "$EXPANDED" --expanded
