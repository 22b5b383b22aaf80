#!/usr/bin/env bash
# run-fuzzer.sh <fuzzer> <seed corpus> <work corpus> <seconds>
# Replays the seed corpus, then fuzzes for the given time into a scratch copy so
# the committed corpus is never touched.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work"
if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
    "$fuzzer" -runs=0 "$seeds"
    cp -n "$seeds"/* "$work"/ 2>/dev/null || true
fi
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 "$work"
