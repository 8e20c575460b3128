#!/usr/bin/env bash
# Runs every benchmark of the default build and prints its figures; nothing here fails on time.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/default/bench
status=0
for b in "$build"/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true || status=1
done
# Benchmarks that need more than one program (virtual LAN, desktop) have scripts of their own.
for s in bench/*.sh; do
    [ -f "$s" ] || continue
    echo "== $(basename "$s")"
    bash "$s" || status=1
done
exit $status
