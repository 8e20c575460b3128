#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a bounded time each.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
found=0
status=0
for f in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    found=1
    corpus=$(mktemp -d)
    echo "== $(basename "$f") for ${seconds}s"
    dict=tests/fuzz/$(basename "$f" | sed 's/^fuzz_//').dict
    extra=()
    [ -f "$dict" ] && extra+=(-dict="$dict")
    log="$corpus.log"
    rc=0
    "$f" -max_total_time="$seconds" -max_len=300 -print_final_stats=1 "${extra[@]}" "$corpus" \
        >"$log" 2>&1 || rc=$?
    if [ $rc -ne 0 ]; then
        tail -n 60 "$log"
        status=1
    else
        grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
    fi
    rm -rf "$corpus" "$log"
done
[ $found -eq 1 ] || { echo "fuzz: no fuzz targets built" >&2; exit 1; }
exit $status
