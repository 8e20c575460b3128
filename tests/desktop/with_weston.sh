#!/usr/bin/env bash
# with_weston.sh COMMAND...: runs COMMAND as a native Wayland client of a private headless
# weston (pixman renderer, so that its screenshots hold pixels; --debug lets
# weston-screenshooter take them) in a private XDG_RUNTIME_DIR. No session bus, so no
# StatusNotifier host: the tray is missing as under a bare compositor. Only the weston started
# here is stopped.
set -u
command -v weston >/dev/null || { echo "SKIP: weston missing"; exit 77; }
plugin=
for dir in /usr/lib/*/qt6/plugins/platforms /usr/lib/qt6/plugins/platforms; do
    [ -e "$dir/libqwayland-generic.so" ] && plugin=$dir
done
[ -n "$plugin" ] || { echo "SKIP: Qt's Wayland platform plugin missing"; exit 77; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
socket=palaverly-test-$$
weston_pid=
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT
trap "exit 1" INT TERM
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman --width=1024 \
    --height=768 --socket="$socket" --idle-time=0 --debug --no-config \
    --log="$runtime/weston.log" &
weston_pid=$!
for _ in $(seq 200); do
    [ -S "$runtime/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.05
done
[ -S "$runtime/$socket" ] || { echo "SKIP: weston did not start"; cat "$runtime/weston.log"; exit 77; }
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
"$@"
