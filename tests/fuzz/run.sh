#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for the given number of
# seconds (default 30) on its seed corpus, then prints executions, coverage and the CPU time
# spent, workers included.
#   tests/fuzz/run.sh [seconds] [parallel jobs]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
jobs=${2:-1}
cmake -S . -B build-fuzz -DKESTRION_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j"$(nproc)" > /dev/null
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1
status=0
# Sets children_cpu to the user plus system seconds of every finished child (and the workers
# they waited for). `times` must run in this shell, not in a command substitution's subshell.
children_cpu_seconds() {
    times > build-fuzz/times.txt
    children_cpu=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] }
        printf "%d", t }' build-fuzz/times.txt)
}
for target in blockRecognition minutesText channelName wireSplit capNegotiation; do
    work=build-fuzz/corpus/$target
    mkdir -p "$work"
    log=build-fuzz/fuzz_$target.log
    parallel=()
    [ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
    result=ok
    children_cpu_seconds
    cpu_before=$children_cpu
    if ! build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" "${parallel[@]}" \
        -print_final_stats=1 -max_len=65536 "$work" "tests/fuzz/corpus/$target" > "$log" 2>&1; then
        status=1
        result=FAILED
        tail -40 "$log"
    fi
    children_cpu_seconds
    cpu=$((children_cpu - cpu_before))
    logs=("$log")
    [ "$jobs" -gt 1 ] && logs+=(fuzz-*.log)
    # With several workers the main log repeats each worker's final figures.
    runs=$(awk '/stat::number_of_executed_units/ { s += $2 } END { print s + 0 }' "$log")
    cov=$(cat "${logs[@]}" | grep -o 'cov: [0-9]*' | awk '{ if ($2 > m) m = $2 } END { print m + 0 }')
    echo "fuzz_$target: ${seconds}s x $jobs, $runs executions, coverage $cov edges, ${cpu} CPU-s, $result"
    rm -f fuzz-*.log
done
exit $status
