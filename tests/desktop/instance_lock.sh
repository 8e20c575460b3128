#!/usr/bin/env bash
# instance_lock.sh PROGRAM DAEMON: one station per user, whatever the environment of a start.
#  1. No /run/user/<uid>: a start with XDG_RUNTIME_DIR and one without meet at the same lock.
#  2. With /run/user/<uid> (a logind session): the same, the desktop program first.
#  3. The lock file's place taken by a folder: both programs refuse with 255 and say why,
#     the desktop program in a message box "msg" (on Xvfb, when there is one).
# Runs in network and mount namespaces of its own: nothing leaves the machine, and /run/user
# is a private tmpfs, so the user's real station is never met.
set -u
program=$1
daemon=$2
[ -d /run/user ] || { echo "SKIP: no /run/user"; exit 77; }
source "$(dirname "$0")/../support/private_namespaces.sh"

tmp=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
trap "exit 1" INT TERM
uid=$(id -u)
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data QT_QPA_PLATFORM=offscreen
unset XDG_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
mkdir -m 700 "$tmp/run" "$tmp/run2"
fail=0
failed() { echo "FAIL: $*"; fail=1; }

# palaverlyd ends at the end of its input: the first station reads a pipe that stays open.
mkfifo "$tmp/input"
exec 7<>"$tmp/input"

# Starts a first station in the background (environment assignments before the command).
start_first() {
    env "$@" 9 <&7 >"$tmp/first.out" 2>&1 &
    first=$!
    pids+=("$first")
}

# Waits until the lock file $1 is held by someone.
wait_held() {
    for _ in $(seq 200); do
        if [ -e "$1" ] && ! flock -n "$1" true 2>/dev/null; then return 0; fi
        kill -0 "$first" 2>/dev/null || { failed "first station ended"; cat "$tmp/first.out"; return 1; }
        sleep 0.05
    done
    failed "$1 never held"
    return 1
}

stop_first() {
    kill -TERM "$first" 2>/dev/null
    wait "$first" 2>/dev/null
}

# A second start (environment assignments before the command) must end at once with 255,
# silently when `silent` is given as the first argument.
expect_refused() {
    local silent=$1 what=$2
    shift 2
    timeout 5 env "$@" 9 </dev/null >"$tmp/second.out" 2>&1
    local rc=$?
    if [ "$rc" != 255 ]; then
        failed "$what: exit status $rc, not 255; output: $(cat "$tmp/second.out")"
    elif [ "$silent" = silent ] && [ -s "$tmp/second.out" ]; then
        failed "$what: printed $(cat "$tmp/second.out")"
    fi
}

# 1. Without a logind runtime folder the lock is beside the settings.
lock=$XDG_CONFIG_HOME/Quillmark/palaverly.lock
start_first XDG_RUNTIME_DIR="$tmp/run" "$daemon"
if wait_held "$lock"; then
    expect_refused silent "palaverlyd without XDG_RUNTIME_DIR" "$daemon"
    expect_refused silent "palaverly without XDG_RUNTIME_DIR" "$program"
    expect_refused silent "palaverly with another XDG_RUNTIME_DIR" XDG_RUNTIME_DIR="$tmp/run2" "$program"
fi
stop_first

# 2. With /run/user/<uid>, the desktop started from the session, palaverlyd over "ssh".
mkdir -m 700 "/run/user/$uid"
lock=/run/user/$uid/palaverly.lock
start_first XDG_RUNTIME_DIR="/run/user/$uid" "$program"
if wait_held "$lock"; then
    expect_refused silent "palaverlyd without XDG_RUNTIME_DIR" "$daemon"
    expect_refused silent "palaverlyd with another XDG_RUNTIME_DIR" XDG_RUNTIME_DIR="$tmp/run" "$daemon"
fi
stop_first

# 3. A folder where the lock file belongs: refused, with the file and the reason.
rm -f "$lock"
mkdir "$lock"
reason="msg: The lock file $lock cannot be opened (Is a directory)"
expect_refused said "palaverlyd with a folder as lock" "$daemon"
grep -qF "$reason" "$tmp/second.out" || failed "palaverlyd said: $(cat "$tmp/second.out")"
grep -q READY "$tmp/second.out" && failed "palaverlyd started a station"
expect_refused said "palaverly without a display, folder as lock" -u QT_QPA_PLATFORM "$program"
grep -qF "$reason" "$tmp/second.out" || failed "palaverly said: $(cat "$tmp/second.out")"

if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    display=
    for n in $(seq 141 189); do
        if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=$n; break; fi
    done
    if [ -n "$display" ]; then
        Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        pids+=($!)
        for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done
        DISPLAY=:$display QT_QPA_PLATFORM=xcb "$program" 9 </dev/null >"$tmp/box.out" 2>&1 &
        box=$!
        pids+=("$box")
        window=$(DISPLAY=:$display timeout 10 xdotool search --sync --onlyvisible --name '^msg$' | head -n 1)
        if [ -z "$window" ]; then
            failed "no message box \"msg\" shown"
        else
            DISPLAY=:$display xdotool windowfocus --sync "$window" key Return
        fi
        for _ in $(seq 200); do kill -0 "$box" 2>/dev/null || break; sleep 0.05; done
        if kill -0 "$box" 2>/dev/null; then
            failed "palaverly still runs after its message box"
        else
            wait "$box"
            rc=$?
            [ "$rc" = 255 ] || failed "palaverly with its message box ended with $rc, not 255"
        fi
        grep -qF "$reason" "$tmp/box.out" || failed "palaverly said: $(cat "$tmp/box.out")"
    fi
else
    echo "note: no Xvfb or xdotool, the message box itself is not looked at"
fi

[ $fail = 0 ] && echo "PASS"
exit $fail
