#!/bin/bash
# The Windows build's tests, under wine, headless, in a wine prefix of their own that is
# removed afterwards: the Qt-free suites, then qtm200cli.exe against qtm200sim (a Linux
# program) through COM5, which the prefix maps to the simulator's pseudo-terminal.
# usage: scripts/test-windows.sh LINUX_BIN_DIR WINDOWS_BUILD_DIR
set -u
bin=$(cd "$1" && pwd)
winbuild=$(cd "$2" && pwd)
exe="$winbuild/bin/qtm200cli.exe"
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
pass() { echo "PASS: $1"; }
fail() {
    echo "FAIL: $1"
    failures=$((failures + 1))
}

echo "making a wine prefix in $WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }

# Starts a simulated meter with the given options and links COM$1 to its pseudo-terminal,
# as a port that only a program naming it finds; its requests go to $work/requests-$1.log.
link_meter() {
    local com=$1
    shift
    "$bin/qtm200sim" --log "$work/requests-$com.log" "$@" >"$work/sim-$com.out" 2>&1 &
    sims+=($!)
    port=""
    for _ in $(seq 50); do
        port=$(sed -n 's/^port: //p' "$work/sim-$com.out")
        [ -n "$port" ] && break
        sleep 0.1
    done
    [ -n "$port" ] || { echo "the simulator did not start"; exit 1; }
    ln -sf "$port" "$WINEPREFIX/dosdevices/com$com"
}

# The same, with COM$1 in the system's port list too. The list is made when the wine server
# starts, so it is restarted.
start_meter() {
    link_meter "$@"
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /d "$port" /f </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}

# Waits for the background run $1 and checks that it ended with status $2 and that its
# output, the file $3, has a line matching $4; $5 says what is checked.
check_end() {
    wait "$1"
    local status=$?
    if [ "$status" = "$2" ] && grep -q "$4" "$3"; then
        pass "$5"
    else
        fail "$5: status $status $(cat "$3")"
    fi
}

cli() {
    timeout 60 wine "$exe" "$@" </dev/null
}

# COM6: a meter that never answers, for the port's own time-outs in the suites and for the
# CLI's. It is in no port list, so no suite's scan finds it.
link_meter 6 --fault silent

echo "=== the Qt-free suites under wine"
(cd "$winbuild" && QTM_TEST_SILENT_PORT=COM6 ctest -j "${TEST_JOBS:-4}" -L windows --output-on-failure) ||
    failures=$((failures + 1))

# COM5: a meter with stored records; COM7: one on an RS-485 line at address 3.
start_meter 5 --records 30 --serial WIN0001
meter_pid=${sims[-1]}
start_meter 7 --rs485 --addr 3

echo "=== qtm200cli.exe against qtm200sim"

out=$(cli ports 2>&1)
if grep -q '^COM5 ' <<<"$out"; then pass "ports lists COM5 from the registry"; else fail "ports: $out"; fi

out=$(cli scan 2>&1)
if grep -qx 'port: COM5' <<<"$out" && grep -qx 'model: QTX-200P' <<<"$out"; then
    pass "scan finds the meter on COM5"
else
    fail "scan: $out"
fi

out=$(cli --port COM5 info 2>&1)
if grep -qx 'sn: WIN0001 *' <<<"$out" && grep -qx 'k: 1.000' <<<"$out"; then
    pass "info reads the identity"
else
    fail "info: $out"
fi

out=$(cli --port COM5 live --count 3 --format jsonl 2>/dev/null)
lines=$(grep -c '^{"n":[123],"time":"[0-9T:.-]*Z".*"serial":"WIN0001"}$' <<<"$out")
if [ "$lines" = 3 ] && [ "$(wc -l <<<"$out")" = 3 ] && ! grep -q $'\r' <<<"$out"; then
    pass "live --count 3 --format jsonl gives three objects, LF only"
else
    fail "live jsonl: $out"
fi

: >"$work/requests-5.log"
out=$(cli --port COM5 set k 1.5 2>&1)
# 1.5 as a little-endian float: 00 00 C0 3F, in the write of K (class 43, code 0F).
if [ $? = 0 ] && grep -q '56 4B 43 0F 04 00 00 00 C0 3F' "$work/requests-5.log"; then
    pass "set k 1.5 sends the float's bytes"
else
    fail "set k: $out / $(cat "$work/requests-5.log")"
fi
if cli --port COM5 info 2>&1 | grep -qx 'k: 1.500'; then pass "k reads back as 1.500"; else fail "k read back"; fi

# The bus reads only what has come in, polled, which the driver must answer at once.
out=$(cli --port COM7 --link rs485 --addr 3 live --count 2 --format jsonl 2>&1)
if [ "$(grep -c '^{"n":[12],.*"address":3,.*}$' <<<"$out")" = 2 ]; then
    pass "live on RS-485 reads the meter at address 3 twice"
else
    fail "rs485 live: $out"
fi

out=$(cli --port COM5 import --format csv 2>/dev/null)
rows=$(grep -c $'^[0-9]*,[0-9.eE+-]*,[^,]*,WIN0001\r$' <<<"$out")
if [ "$rows" = 30 ]; then pass "import reads the 30 stored records"; else fail "import: $rows rows: $out"; fi

# Busy: while a run holds COM5, another program is refused with the reason.
# (Without timeout: it would take the Ctrl-C below for itself.)
wine "$exe" --port COM5 live --count 0 --interval 1 --stats </dev/null >"$work/held.out" 2>&1 &
held=$!
sleep 4
out=$(cli --port COM5 info 2>&1)
if grep -q 'the serial port COM5 is in use by another program' <<<"$out"; then
    pass "a held port is refused as busy"
else
    fail "busy: $out"
fi
# Ctrl-C: wine hands SIGINT to the program as the console's Ctrl-C event.
pkill -INT -f "^$exe --port COM5 live" 2>/dev/null
check_end "$held" 0 "$work/held.out" '^stats: count=[1-9]' \
    "Ctrl-C ends a run cleanly: summary printed, status 0"

# A lost meter: the simulator goes away in the middle of a run.
cli --port COM5 live --count 0 --interval 1 >"$work/lost.out" 2>&1 &
run=$!
sleep 4
kill "$meter_pid"
check_end "$run" 1 "$work/lost.out" '^qtm200cli: ' \
    "a lost meter ends the run with one sentence and status 1"

# A silent meter: every read gives up within its time-outs, and the run says so.
begin=$(date +%s)
out=$(cli --port COM6 info 2>&1)
status=$?
took=$(($(date +%s) - begin))
if [ "$status" != 0 ] && [ "$took" -lt 20 ]; then
    pass "a silent meter is given up in ${took} s"
else
    fail "silent meter: status $status after $took s: $out"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures Windows check(s) failed"
    exit 1
fi
echo "every Windows check passed"
