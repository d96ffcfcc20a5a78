#!/usr/bin/env bash
# Builds and runs every benchmark and prints the tables. Takes about thirty-five minutes: one-minute
# runs of the real main window offscreen, on an X11 desktop (Xvfb with openbox, started here)
# and, as the Windows build, under Wine on the same desktop (building Qt for Windows first if
# it is not built yet); then twenty starts and a minute of idling.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh xvfb openbox wine64
cmake --build build --target bench_timing bench_channel bench_start bench_cpu bench_startup kestrion \
    -j"$(nproc)" > /dev/null
scripts/build-windows.sh > /dev/null
qt=$(scripts/build-windows-qt.sh)

coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2> /dev/null; }
read -r display <&"${XVFB[0]}"
export DISPLAY=:$display
openbox > /dev/null 2>&1 &
openbox_pid=$!
trap 'kill "$openbox_pid" "$XVFB_PID"' EXIT

echo "Lateness of each announcement on the wire against the start notice + k s, in ms; drift is"
echo "its slope in ms per tick. Where a tick's time goes: the system's wake-up against the moment"
echo "asked for, the deadline to the line's write, the write to the wire (negative: the write"
echo "returns after the line has passed); and the processor time the program's thread used per tick."
echo
echo "| run | lines | median | worst | drift | wake-up median | wake-up worst | work median | work worst | to wire median | to wire worst | CPU per tick | flood |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for mode in plain tls flood glib reconnect busy; do
    QT_QPA_PLATFORM=offscreen build/bench/bench_timing "$mode"
done
for mode in plain tls flood reconnect busy; do
    QT_QPA_PLATFORM=xcb build/bench/bench_timing "$mode"
done
for mode in plain flood reconnect; do
    tests/windows/wine.sh "$qt" build-windows/bench/bench_timing.exe "$mode" | tr -d '\r'
done
echo
echo "The channel's view: a second client stamps each line on a real server of each family; the"
echo "run starts that long after the join. Wait at 開始 in ms; lateness against the notice + its"
echo "second."
echo
echo "| family | minutes | started after the join (s) | wait at 開始 | lines | median | worst | stamps |"
echo "|---|---|---|---|---|---|---|---|"
scripts/need-ircd.sh > /dev/null
scripts/need-other-ircds.sh > /dev/null
for family in irc2 ngircd inspircd; do
    QT_QPA_PLATFORM=offscreen build/bench/bench_channel "$family" 1
done
QT_QPA_PLATFORM=offscreen build/bench/bench_channel irc2 1 40
QT_QPA_PLATFORM=offscreen build/bench/bench_channel irc2 0
echo
echo "From the 開始 click to the start notice on the wire, on a server that holds nothing (20"
echo "starts, ms):"
echo
echo "| minutes | starts | min | median | max | stamps |"
echo "|---|---|---|---|---|---|"
QT_QPA_PLATFORM=offscreen build/bench/bench_start
echo
echo "The whole program's processor time per tick of a one-minute run, read from outside the"
echo "process (every thread, and the window's thread alone, ms):"
echo
echo "| platform | ticks | process | window's thread |"
echo "|---|---|---|---|"
for platform in offscreen xcb; do
    QT_QPA_PLATFORM=$platform build/bench/bench_cpu
done
echo
echo "Start-up and idle (20 starts; min, median, max):"
echo
echo "| measure | min | median | max |"
echo "|---|---|---|---|"
QT_QPA_PLATFORM=offscreen build/bench/bench_startup build/kestrion
