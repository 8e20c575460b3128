#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a bounded time each.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
found=0
for f in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    found=1
    corpus=$(mktemp -d)
    echo "== $(basename "$f") for ${seconds}s"
    "$f" -max_total_time="$seconds" -max_len=300 "$corpus"
    rm -rf "$corpus"
done
[ $found -eq 1 ] || { echo "fuzz: no fuzz targets built" >&2; exit 1; }
