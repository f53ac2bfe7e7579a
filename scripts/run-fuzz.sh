#!/bin/sh
# Runs every fuzzer built in BUILD/fuzz for SECONDS each, starting from its checked-in
# seeds in fuzz/corpus/NAME. New inputs go to BUILD/fuzz-corpus/NAME (never into the
# checked-in seeds); a crash leaves its input in BUILD/fuzz-crashes. Exit 1 when any
# fuzzer found a fault.
set -u
build=${1:?usage: run-fuzz.sh BUILD SECONDS}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
failed=""
count=0
mkdir -p "$build/fuzz-crashes"
for bin in "$build"/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name=$(basename "$bin" | sed 's/^fuzz_//')
    work="$build/fuzz-corpus/$name"
    seeds="$root/fuzz/corpus/$name"
    mkdir -p "$work"
    [ -d "$seeds" ] || seeds=""
    echo "fuzz $name: ${seconds}s"
    # -timeout: one input running 10 s is a hang, and counts as a fault.
    if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-crashes/$name-" "$work" $seeds \
        >"$build/fuzz-$name.log" 2>&1; then
        failed="$failed $name"
        tail -n 40 "$build/fuzz-$name.log"
    else
        grep -E '^stat::number_of_executed_units' "$build/fuzz-$name.log" | sed "s/^/  /"
    fi
    count=$((count + 1))
done
if [ "$count" -eq 0 ]; then
    echo "no fuzzer found in $build/fuzz"
    exit 1
fi
if [ -n "$failed" ]; then
    echo "fuzzers that found a fault:$failed (inputs in $build/fuzz-crashes)"
    exit 1
fi
echo "$count fuzzers ran ${seconds}s each without a fault"
