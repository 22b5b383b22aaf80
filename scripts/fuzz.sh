#!/usr/bin/env bash
# fuzz.sh [seconds per target] [name filter]
# Builds the libFuzzer targets and runs each one for longer than CI does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-300}
filter=${2:-}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DOSTRELS_FUZZ=ON \
    -DOSTRELS_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzzers
ctest --test-dir build-fuzz --output-on-failure -L fuzz ${filter:+-R "$filter"} --timeout $((seconds + 600))
