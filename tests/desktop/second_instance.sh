#!/usr/bin/env bash
# Starts the real program twice: the second start must end with 255 at once. Then SIGTERM
# must bring the first down in order (BYE sent, handle, status and placement written).
# Runs in a network namespace of its own so that nothing leaves this machine, and with a
# /run/user of its own so that the user's real station (whose lock lives there) is not met.
set -u
program=$1
daemon=${2:-}
source "$(dirname "$0")/../support/private_namespaces.sh"

tmp=$(mktemp -d)
first=
cleanup() {
    [ -n "$first" ] && kill "$first" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
trap "exit 1" INT TERM
export HOME=$tmp XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
export QT_QPA_PLATFORM=offscreen
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
# Without /run/user/<uid> the lock lives beside the settings.
lock=$XDG_CONFIG_HOME/Quillmark/palaverly.lock

"$program" 7 >"$tmp/first.out" 2>&1 &
first=$!
# Wait for the first instance to hold the lock (it takes it before anything else).
for _ in $(seq 200); do
    if [ -e "$lock" ] && ! flock -n "$lock" true; then break; fi
    kill -0 "$first" 2>/dev/null || { echo "FAIL: first instance ended"; cat "$tmp/first.out"; exit 1; }
    sleep 0.05
done

fail=0
for second in "$program" $daemon; do
    timeout 1 "$second" 7 </dev/null >"$tmp/second.out" 2>&1
    rc=$?
    if [ "$rc" != 255 ]; then
        echo "FAIL: second start of $(basename "$second") gave $rc, not 255 within a second"
        fail=1
    elif [ -s "$tmp/second.out" ]; then
        echo "FAIL: second start of $(basename "$second") printed something"; fail=1
    fi
done
kill -0 "$first" || { echo "FAIL: first instance did not survive"; exit 1; }

kill -TERM "$first"
wait "$first"
rc=$?
first=
[ "$rc" = 0 ] || { echo "FAIL: SIGTERM ended the program with $rc"; fail=1; }
settings=$XDG_CONFIG_HOME/Quillmark/palaverly.conf
for value in HandleName Status WindowPos; do
    grep -q "^$value=" "$settings" 2>/dev/null || { echo "FAIL: $value not written"; fail=1; }
done
[ $fail = 0 ] && echo "PASS"
exit $fail
