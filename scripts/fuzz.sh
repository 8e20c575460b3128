#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build; the seconds given are shared among them.
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-60}
targets=()
for f in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] && targets+=("$f")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no fuzz targets built" >&2; exit 1; }
seconds=$(( total / ${#targets[@]} ))
[ "$seconds" -ge 1 ] || seconds=1
status=0
for f in "${targets[@]}"; do
    # Datagrams and command lines are short; files may be of any length up to a few kB.
    case "$(basename "$f")" in
        fuzz_files) max_len=8192 ;;
        *) max_len=2048 ;;
    esac
    corpus=$(mktemp -d)
    echo "== $(basename "$f") for ${seconds}s"
    dict=tests/fuzz/$(basename "$f" | sed 's/^fuzz_//').dict
    extra=()
    [ -f "$dict" ] && extra+=(-dict="$dict")
    log="$corpus.log"
    rc=0
    "$f" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 "${extra[@]}" "$corpus" \
        >"$log" 2>&1 || rc=$?
    if [ $rc -ne 0 ]; then
        tail -n 60 "$log"
        status=1
    else
        grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
    fi
    rm -rf "$corpus" "$log"
done
exit $status
