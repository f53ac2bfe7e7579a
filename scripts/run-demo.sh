#!/bin/sh
# Starts the window on the built-in simulated meter; without a display it
# falls back to the command-line live readout.
BIN=${1:-build/bin}
if [ -x "$BIN/qtm200debug" ] && [ -n "$DISPLAY$WAYLAND_DISPLAY" ]; then
    exec "$BIN/qtm200debug" --simulate
fi
exec "$BIN/qtm200cli" --simulate live --count 1000000
