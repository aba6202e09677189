#!/usr/bin/env bash
# Runs a Windows test program from the 64-bit build under wine64, with COM ports
# mapped as the program expects:
#   COM5 <-> COM6   two pseudo-terminals joined by socat (a null-modem cable)
#   COM10           a device that does not exist
#   COM99           left unmapped
# While the program runs, it may write a request into $ZAVVFD_HOLDERS_DIR/request;
# the answer comes back in .../answer:
#   count    the number of descriptors the wineserver holds on COM5's device: one
#            for each open Windows handle
#   unplug   the cable vanishes (socat ends; writes to COM5 then fail)
#   replug   a new cable at the same COM numbers
#
# Usage: run.sh PROGRAM.exe [ARGS...]   (the program's folder holds zavvfd.dll)
set -euo pipefail

program=$(realpath "$1")
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=/usr/lib/wine/wine64
export WINEPREFIX=${WINEPREFIX:-$root/build/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winedbg.exe=d"

work=$(mktemp -d /tmp/zavvfd-wine-XXXXXX)
mkdir "$work/holders"
pids=()
cleanup() {
    [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
fi


wineserver -k 2>/dev/null || true
wineserver -p 2>/dev/null
for port in COM5:"$work/com5" COM6:"$work/com6" COM10:"$work/no-such-device"; do
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "${port%%:*}" /d "${port#*:}" /f >/dev/null 2>&1
done
"$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM99 /f >/dev/null 2>&1 || true
# The mount manager rebuilds the COM links when the server starts again.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p 2>/dev/null
"$wine" cmd /c exit >/dev/null 2>&1
if [ -e "$WINEPREFIX/dosdevices/com99" ]; then
    echo "COM99 is mapped on this machine; the tests need it unmapped" >&2
    exit 1
fi

plug() {
    rm -f "$work/com5" "$work/com6"
    socat pty,raw,echo=0,link="$work/com5" pty,raw,echo=0,link="$work/com6" 2>/dev/null &
    cable=$!
    for _ in $(seq 100); do [ -e "$work/com5" ] && [ -e "$work/com6" ] && break; sleep 0.05; done
}
count_holders() {
    local count=0 fd pid device
    device=$(readlink -f "$work/com5")
    for pid in $(pgrep -x 'wineserver(64)?'); do
        for fd in /proc/"$pid"/fd/*; do
            [ "$(readlink "$fd" 2>/dev/null)" = "$device" ] && count=$((count + 1))
        done
    done
    echo "$count"
}
(
    plug
    trap 'kill $cable 2>/dev/null; exit' TERM EXIT
    while true; do
        if [ -e "$work/holders/request" ]; then
            request=$(tr -d '\r\n' <"$work/holders/request")
            rm -f "$work/holders/request"
            case "$request" in
            count) count_holders ;;
            unplug) kill "$cable" || true; wait "$cable" 2>/dev/null || true; echo unplugged ;;
            replug) plug; echo plugged ;;
            *) echo "unknown request $request" ;;
            esac >"$work/holders/answer.tmp"
            mv "$work/holders/answer.tmp" "$work/holders/answer"
        fi
        sleep 0.02
    done
) &
pids+=("$!")
for _ in $(seq 100); do [ -e "$work/com5" ] && [ -e "$work/com6" ] && break; sleep 0.05; done

export ZAVVFD_HOLDERS_DIR
ZAVVFD_HOLDERS_DIR=$("$wine" winepath -w "$work/holders" 2>/dev/null | tr -d '\r')
cd "$(dirname "$program")"
"$wine" "$program" "$@"
