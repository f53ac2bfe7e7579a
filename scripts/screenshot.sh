#!/bin/sh
# Renders the main window under Xvfb on the simulated meter and writes two pictures:
# OUT as the window opens (collapsed) and OUT with "-expanded" before its extension.
# The start-up message box closes itself (a hidden option of qtm200debug for this).
# With QT_SCALE_FACTOR=2 in the environment the window is drawn as on a high-resolution
# screen, on a screen as many times larger.
# usage: scripts/screenshot.sh [BIN_DIR] [OUT]
set -e
BIN=${1:-build/bin}
OUT=${2:-screenshot.png}
MODEL=${QTM_SCREENSHOT_MODEL:-QTX-210UVA}
EXPANDED="${OUT%.*}-expanded.${OUT##*.}"

# A display number nobody uses.
n=99
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n - 1)); done
SCALE=$(awk -v s="${QT_SCALE_FACTOR:-1}" 'BEGIN { s += 0; print (s < 1 ? 1 : s) }')
SCREEN=$(awk -v s="$SCALE" 'BEGIN { printf "%dx%dx24", 1280 * s, 1024 * s }')
Xvfb ":$n" -screen 0 "$SCREEN" -nolisten tcp >/dev/null 2>&1 &
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
