#!/usr/bin/env bash
# expect_fatal_ubsan.sh <command...>
# Passes when the command fails and its output holds a UBSan report.
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output" | tail -20
if [ "$status" -eq 0 ]; then
    echo "expected a failure on undefined behaviour, but the command passed"
    exit 1
fi
if ! grep -q "runtime error" <<<"$output"; then
    echo "the command failed ($status) without a UBSan report"
    exit 1
fi
echo "undefined behaviour stopped the run, as it must"
