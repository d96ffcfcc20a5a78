#!/usr/bin/env bash
# Builds and runs every benchmark and prints the tables. Takes about twelve minutes: four real
# two-minute runs (plain text, over TLS, under a 100 MB flood, and the flood on Qt's default GLib
# event loop for comparison), twenty starts and a minute of idling.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target bench_timing bench_startup kestrion -j"$(nproc)" > /dev/null

echo "Tick accuracy: deviation from click + k x 1000 ms, in ms (wire: as the server received"
echo "each announcement; ticks: when the tick handler ran). Drift is the slope in ms per tick."
echo
echo "| run | wire lines | wire median | wire max | wire drift | ticks | tick median | tick max | tick drift | event latency median | event latency max | flood |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
for mode in precise tls flood glib; do
    build/bench/bench_timing "$mode"
done
echo
echo "Start-up and idle (20 starts; min, median, max):"
echo
echo "| measure | min | median | max |"
echo "|---|---|---|---|"
build/bench/bench_startup build/kestrion
