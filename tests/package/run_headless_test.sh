#!/usr/bin/env bash
# `make run` on a machine without a display: scripts/run.sh starts the headless station and
# says so in one line on stderr. In a network namespace of its own, so nothing leaves here.
# Usage: run_headless_test.sh SOURCE_DIR BUILD_DIR
set -u
source_dir=$1
build=$2
if [ "${PALAVERLY_IN_NETNS:-}" != 1 ]; then
    if unshare -n true 2>/dev/null; then
        PALAVERLY_IN_NETNS=1 exec unshare -n "$0" "$@"
    fi
    echo "SKIP: no network namespace available"
    exit 77
fi
ip link set lo up 2>/dev/null || true

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
fail=0
failure() { echo "FAIL: $*"; fail=1; }

# The station answers `roster` once it is up; `quit` then ends it in order.
printf 'roster\nquit\n' | env -u DISPLAY -u WAYLAND_DISPLAY PALAVERLY_BUILD_DIR="$build" \
    timeout 30 bash "$source_dir/scripts/run.sh" 7 >"$tmp/out" 2>"$tmp/err"
rc=$?
[ $rc = 0 ] || failure "run.sh without a display ended with $rc"
[ "$(wc -l <"$tmp/err")" = 1 ] || failure "stderr is not one line: $(cat "$tmp/err")"
grep -q 'no display.*headless station palaverlyd' "$tmp/err" || failure "stderr: $(cat "$tmp/err")"
grep -qx READY "$tmp/out" || failure "the headless station did not start: $(cat "$tmp/out")"
grep -qx END "$tmp/out" || failure "the headless station did not answer roster"
grep -q '^HandleName=' "$XDG_CONFIG_HOME/Quillmark/palaverly.conf" 2>/dev/null ||
    failure "the station did not shut down in order"

# An empty variable is no display either.
printf 'quit\n' | DISPLAY= WAYLAND_DISPLAY= PALAVERLY_BUILD_DIR="$build" \
    timeout 30 bash "$source_dir/scripts/run.sh" 7 >"$tmp/out" 2>"$tmp/err"
grep -q 'no display' "$tmp/err" || failure "empty DISPLAY was taken for a display"

# The choice itself, with stand-ins that only say who they are.
fake=$tmp/fake
mkdir -p "$fake/src/desktop" "$fake/src/headless"
for p in desktop/palaverly headless/palaverlyd; do
    printf '#!/bin/sh\necho "%s $*"\n' "$(basename "$p")" >"$fake/src/$p"
    chmod +x "$fake/src/$p"
done
choose() { env -u DISPLAY -u WAYLAND_DISPLAY "$@" PALAVERLY_BUILD_DIR="$fake" \
    bash "$source_dir/scripts/run.sh" 3 x 2>"$tmp/err"; }
[ "$(choose DISPLAY=:1)" = "palaverly 3 x" ] || failure "DISPLAY set: not the desktop program"
[ "$(choose WAYLAND_DISPLAY=wayland-0)" = "palaverly 3 x" ] ||
    failure "WAYLAND_DISPLAY set: not the desktop program"
[ -s "$tmp/err" ] && failure "with a display run.sh printed: $(cat "$tmp/err")"
[ "$(choose)" = "palaverlyd 3 x" ] || failure "no display: not the headless station"
rm "$fake/src/desktop/palaverly"
[ "$(choose DISPLAY=:1)" = "palaverlyd 3 x" ] || failure "no desktop program: not the headless one"
rm "$fake/src/headless/palaverlyd"
choose >/dev/null && failure "nothing built, yet run.sh succeeded"
grep -q 'nothing built' "$tmp/err" || failure "nothing built: $(cat "$tmp/err")"

[ $fail = 0 ] && echo "PASS"
exit $fail
