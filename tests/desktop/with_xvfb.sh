#!/usr/bin/env bash
# with_xvfb.sh [--tray] [--wm] COMMAND...: runs COMMAND on a private Xvfb display, with the
# trayer tray host when --tray is given and the openbox window manager when --wm is given.
# Only the Xvfb, trayer and openbox started here are stopped.
set -u
tray=0 wm=0
while :; do
    case "${1:-}" in
    --tray) tray=1; shift ;;
    --wm) wm=1; shift ;;
    *) break ;;
    esac
done
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb missing"; exit 77; }
if [ $tray = 1 ]; then command -v trayer >/dev/null || { echo "SKIP: trayer missing"; exit 77; }; fi
if [ $wm = 1 ]; then
    command -v openbox >/dev/null || { echo "SKIP: openbox missing"; exit 77; }
    command -v xprop >/dev/null || { echo "SKIP: xprop missing"; exit 77; }
fi

display=
for n in $(seq 90 140); do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "SKIP: no free display"; exit 77; }

xvfb= trayer_pid= wm_pid= wm_config=
cleanup() {
    [ -n "$trayer_pid" ] && kill "$trayer_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    [ -n "$wm_config" ] && rm -f "$wm_config"
}
trap cleanup EXIT
trap "exit 1" INT TERM
Xvfb :$display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display
for _ in $(seq 100); do
    [ -e /tmp/.X11-unix/X$display ] && break
    sleep 0.05
done
# No session bus: the icon goes to the X tray, not to a StatusNotifier host.
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb
if [ $wm = 1 ]; then
    # A private configuration: no autostart, no session of the user's. An empty file would be
    # a syntax error, which openbox shows in a dialog that takes the focus.
    wm_config=$(mktemp --suffix=.xml)
    printf '<?xml version="1.0"?>\n<openbox_config xmlns="http://openbox.org/3.4/rc"/>\n' \
        >"$wm_config"
    openbox --config-file "$wm_config" --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    wm_ready() { timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    for _ in $(seq 400); do
        wm_ready && break
        kill -0 "$wm_pid" 2>/dev/null || break
        sleep 0.05
    done
    wm_ready || { echo "SKIP: openbox did not start"; exit 77; }
fi
if [ $tray = 1 ]; then
    trayer --edge top --align right --widthtype pixel --width 120 --height 32 >/dev/null 2>&1 &
    trayer_pid=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1
        if xdotool search --class trayer >/dev/null 2>&1; then break; fi
        sleep 0.05
    done
fi
"$@"
