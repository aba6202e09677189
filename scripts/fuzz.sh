#!/usr/bin/env bash
# Runs every libFuzzer target for FUZZ_SECONDS (default 60) from its seed corpus and
# prints executions and findings. A finding (crash, leak, time-out) is kept in
# build/fuzz/findings/TARGET/ and fails the run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
build=$root/build/fuzz
failed=0
printf '%-10s %10s %12s %9s\n' target seconds executions findings
for target in settings init exports; do
    corpus=$build/corpus/$target findings=$build/findings/$target log=$build/fuzz_$target.log
    mkdir -p "$corpus" "$findings"
    status=0
    "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "$root/tests/fuzz/seeds/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(find "$findings" -type f | wc -l)
    printf '%-10s %10s %12s %9s\n' "$target" "$seconds" "${runs:-?}" "$found"
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        failed=1
        tail -n 40 "$log"
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "fuzzing found faults; see build/fuzz/findings/"
    exit 1
fi
echo "fuzzing found nothing"
