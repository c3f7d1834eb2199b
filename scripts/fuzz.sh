#!/usr/bin/env bash
# Runs fuzz targets one after another for SECONDS each and says how many
# inputs each one ran. New inputs go to the build tree; the committed seeds
# stay as they are. A crash leaves its input in BUILD/tests/fuzz/crashes.
#   fuzz.sh SECONDS BUILD_DIR [NAME...]   (no NAME: every target)
set -euo pipefail
seconds=$1 build=$2; shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
fuzz=$build/tests/fuzz
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for bin in "$fuzz"/fuzz_*; do names+=("${bin##*/fuzz_}"); done
fi
status=0
for name in "${names[@]}"; do
    mkdir -p "$fuzz/corpus/$name" "$fuzz/crashes"
    log=$fuzz/$name.log
    if "$fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$fuzz/crashes/$name-" "$fuzz/corpus/$name" "$here/tests/fuzz/corpus/$name" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz $name: $runs executions in $seconds s, clean"
    else
        status=1
        echo "fuzz $name: FAILED, see $log" >&2
        grep -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || tail -20 "$log" >&2
    fi
done
exit $status
