#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test:
# the normal build, an ASan+UBSan build, the thread-heavy tests under TSan and
# every libFuzzer target (corpus replay plus a few seconds of fuzzing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
export OSTRELS_TRACE=0

# A compiler cache makes a second run on the same machine cheap; paths are
# taken relative to the checkout, so another clone shares the cache.
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$root"
    export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-20G}
    # Tests share one precompiled prelude; the cache may reuse their objects.
    export CCACHE_SLOPPINESS=pch_defines,time_macros
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Every ctest run's output also goes to one log, so that the end can say how
# many tests skipped themselves (an outside oracle that could not be had).
ctest_log=$(mktemp)
trap 'rm -f "$ctest_log"' EXIT
run_ctest() { # [ctest args...]
    ctest "$@" | tee -a "$ctest_log"
}

# Line tables are all a failing test or a sanitizer report needs; full debug
# information makes every compile and link of the suite markedly slower.
configure() { # <dir> [cmake args...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRELS_DEBUG_INFO=-g1 "${launcher[@]}" "$@" \
        >/dev/null
}

# Each stage says when it starts, so that a log shows where the time went.
stage() { # <title>
    echo "== $1 (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"
}

stage "normal build"
configure build
cmake --build build -j "$jobs"
run_ctest --test-dir build --output-on-failure -j "$jobs"

stage "ASan + UBSan build"
configure build-asan -DOSTRELS_SANITIZE=address
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest --test-dir build-asan --output-on-failure -j "$jobs"

stage "TSan build (thread-heavy tests)"
configure build-tsan -DOSTRELS_SANITIZE=thread
cmake --build build-tsan -j "$jobs" --target thread_tests
# Live play starts and stops 200 times per kind here (20 in the normal run).
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 OSTRELS_PLAY_CYCLES=200 \
    run_ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threads

stage "libFuzzer targets"
CC=clang CXX=clang++ configure build-fuzz -DOSTRELS_FUZZ=ON
cmake --build build-fuzz -j "$jobs" --target fuzzers
run_ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L fuzz

stage "end"
skipped=$(grep -E '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$ctest_log" || true)
if [ -n "$skipped" ]; then
    echo "== $(wc -l <<<"$skipped") test(s) skipped (an outside oracle is missing: the set-up said which at its start):"
    echo "$skipped"
else
    echo "== every test ran"
fi
