#!/bin/sh
# Runs every benchmark program (bench_*) found in the bin folder given as $1
# (default build/bin), one after the other; the status is that of the first failure.
BIN=${1:-build/bin}
status=0
found=0
for program in "$BIN"/bench_*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    found=1
    echo "== $(basename "$program")"
    "$program" || { rc=$?; echo "$(basename "$program") failed with status $rc" >&2; [ $status -eq 0 ] && status=$rc; }
done
if [ $found -eq 0 ]; then
    echo "no bench_* programs in $BIN" >&2
    exit 1
fi
exit $status
