#!/usr/bin/env bash
# Runs both benchmarks and prints the tables (bench/README.md explains them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"
"$root/build/linux/linux_bench" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/linux.json" --benchmark_out_format=json \
    >"$out/linux.txt"
"$root/tests/wine/run.sh" "$root/build/win64/win_bench.exe" >"$out/wine.txt"
python3 "$root/bench/report.py" "$out/linux.json" "$out/wine.txt" | tee "$out/report.txt"
