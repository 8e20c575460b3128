#!/usr/bin/env bash
# with_dunst.sh COMMAND...: runs COMMAND on a private session bus (dbus-run-session) with the
# dunst notification daemon on it, set up to keep every notification on the screen until it
# is closed. Needs a display (with_xvfb.sh). Only the dunst started here is stopped.
set -u
for tool in dunst dunstctl dbus-send dbus-daemon dbus-run-session; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
if [ -z "${PALAVERLY_PRIVATE_BUS:-}" ]; then
    PALAVERLY_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "SKIP: no session bus"; exit 77; }
[ -n "${DISPLAY:-}" ] || { echo "SKIP: no display"; exit 77; }

conf=$(mktemp)
dunst_pid=
cleanup() {
    [ -n "$dunst_pid" ] && kill "$dunst_pid" 2>/dev/null && wait "$dunst_pid" 2>/dev/null
    rm -f "$conf"
}
trap cleanup EXIT
trap "exit 1" INT TERM
cat >"$conf" <<'CONF'
[global]
    markup = full
    format = "%s\n%b"
    history_length = 100
    sticky_history = yes
[urgency_low]
    timeout = 0
[urgency_normal]
    timeout = 0
[urgency_critical]
    timeout = 0
CONF
dunst -conf "$conf" >/dev/null 2>&1 &
dunst_pid=$!
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
        grep -q 'boolean true'
}
for _ in $(seq 200); do
    owned && break
    kill -0 "$dunst_pid" 2>/dev/null || break
    sleep 0.05
done
owned || { echo "SKIP: dunst did not take the notification service"; exit 77; }
"$@"
