#!/usr/bin/env bash
# dialogs_screenshots.sh SHOWCASE OUT_DIR: photographs each dialog on a private Xvfb display
# into OUT_DIR/dialog-<kind>.png. Only the Xvfb and showcase processes started here are stopped.
set -eu
showcase=$1
out=$2
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb missing"; exit 77; }
command -v import >/dev/null || { echo "SKIP: ImageMagick missing"; exit 77; }

display=
for n in $(seq 150 199); do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "SKIP: no free display"; exit 77; }

work=$(mktemp -d)
xvfb= app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb :$display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
unset DBUS_SESSION_BUS_ADDRESS
for _ in $(seq 100); do
    [ -e /tmp/.X11-unix/X$display ] && break
    sleep 0.05
done

mkdir -p "$out"
# A few stored values so that the pictures show filled controls.
cat > "$work/palaverly.conf" <<'CONF'
Flg Popup(ToYouMsg)=1
Flg LogOutput=1
Flg ChatServer=1
LogSavePath=/home/user/.local/share/palaverly
SoundFilePath=/usr/share/sounds/alsa/Front_Center.wav
定型Msg03=本日の会議は15時からです。
Info Msg99=今週金曜日はノー残業デーです。
CONF
for kind in options phrases info about; do
    "$showcase" "$kind" "$work/palaverly.conf" > "$work/size" &
    app=$!
    for _ in $(seq 200); do
        [ -s "$work/size" ] && break
        sleep 0.05
    done
    size=$(head -1 "$work/size")
    # One more moment for the first paint to reach the screen.
    sleep 0.5
    import -window root -crop "${size}+0+0" +repage "$out/dialog-$kind.png"
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=
    : > "$work/size"
done
echo "written to $out"
