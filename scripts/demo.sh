#!/usr/bin/env bash
# Draws a sample screen on the virtual VFD through the driver, without a display:
#   demo.sh linux   the Linux library and command-line host
#   demo.sh wine    the 64-bit Windows DLL and host under wine64
# Shows the screen in the terminal and writes build/demo/display.png.
set -euo pipefail

mode=${1:-linux}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/demo
com=7
mkdir -p "$out"
vfd=$root/build/linux/zavvfd-vfd
script=$root/tools/demo/sample.vfd

case "$mode" in
linux)
    library=$root/build/linux/libzavvfd.so
    link=$root/build/linux/dosdevices/com$com
    mapping=(--library "$library")
    run_host() { "$root/build/linux/zavvfd-host" --library "$library" --params "COM$com,38400" --script "$script"; }
    png=$out/display.png
    ;;
wine)
    wine=/usr/lib/wine/wine64
    export WINEPREFIX=${WINEPREFIX:-$root/build/wine-prefix}
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winedbg.exe=d"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix $WINEPREFIX"
        "$wine" wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -p 2>/dev/null
    link=$WINEPREFIX/dosdevices/com$com
    mapping=(--wine-prefix "$WINEPREFIX")
    # The script goes in on standard input: the Windows program reads no Linux paths.
    run_host() { (cd "$root/build/win64" && "$wine" zavvfd-host.exe --params "COM$com,38400" --script - <"$script"); }
    png=$out/display.png
    ;;
*)
    echo "usage: demo.sh linux|wine" >&2
    exit 2
    ;;
esac

rm -f "$link"
"$vfd" "${mapping[@]}" --com "$com" --trace --png "$png" --idle-exit 60000 &
vfd_pid=$!
trap 'kill -INT $vfd_pid 2>/dev/null || true' EXIT
for _ in $(seq 200); do [ -L "$link" ] && break; sleep 0.05; done

status=0
run_host >"$out/host.log" 2>&1 || status=$?
sleep 0.3
kill -INT "$vfd_pid"
wait "$vfd_pid"
trap - EXIT
echo "--- command-line host ($mode):"
tr -d '\r' <"$out/host.log"
[ "$mode" = wine ] && { wineserver -k 2>/dev/null || true; }
exit "$status"
