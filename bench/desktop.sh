#!/usr/bin/env bash
# The desktop program against a plain Qt tray program (desktop_floor: a tray menu, a hidden window
# of edits and two lists of Japanese text, a session-bus connection): start-up time to the first
# MEMB on the wire, RSS and PSS, CPU and wake-ups per second while hidden in the tray. Runs in a
# network namespace of its own (nothing leaves the machine), on a private Xvfb with openbox, the
# trayer tray host and a private session bus. Prints figures; never fails on them.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
program=$build/src/desktop/palaverly
floor=$build/bench/desktop_floor
[ -x "$program" ] && [ -x "$floor" ] || { echo "desktop bench: programs not built, skipped"; exit 0; }
if [ "${PALAVERLY_IN_NETNS:-}" != 1 ]; then
    unshare -n true 2>/dev/null || { echo "desktop bench: no network namespace, skipped"; exit 0; }
    command -v dbus-run-session >/dev/null || { echo "desktop bench: no dbus-run-session, skipped"; exit 0; }
    PALAVERLY_IN_NETNS=1 exec unshare -n "$root/tests/desktop/with_xvfb.sh" --tray --wm \
        dbus-run-session -- "$0" "$@"
fi
# A private link so that the broadcast has a route and comes back to local listeners.
ip link set lo up
ip link add pv0 type veth peer name pv1 && ip link set pv1 up
ip addr add 10.77.0.1/24 dev pv0 && ip link set pv0 up && ip route add default dev pv0
idle=${IDLE_SECONDS:-10}
# The idle figures are taken once start-up is over: the check that the first roll call came
# back (3 s) and Qt's one flush of its pixmap cache, 30 s after the tray icon was first
# drawn, wake a program once each.
settle=${SETTLE_SECONDS:-32}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# Milliseconds from the start until the first MEMB is heard on UDP 8000 + N.
listen_memb() {
    # A packet socket on the far end of the link: the program keeps its port to itself.
    python3 - "$1" <<'PY'
import socket, struct, sys, time
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0800))
s.bind(("pv1", 0))
s.settimeout(20)
print("ready", flush=True)
while True:
    frame = s.recv(2048)
    ip = frame[14:]
    if ip[9] != 17:
        continue
    header = (ip[0] & 0x0F) * 4
    port = struct.unpack("!H", ip[header + 2:header + 4])[0]
    data = ip[header + 8:]
    plain = bytes(b ^ ((i + 128) & 0xFF) for i, b in enumerate(data))
    if port == int(sys.argv[1]) and plain[18:22] == b"MEMB":
        print(time.monotonic_ns() // 1000000, flush=True)
        break
PY
}

# Per process: RSS and PSS (kB), CPU ticks and context switches (wake-ups) over the idle time.
measure() {
    local pid=$1
    sleep "$settle"
    local cpu0 sw0 cpu1 sw1
    cpu0=$(awk '{print $14 + $15}' /proc/$pid/stat)
    sw0=$(cat /proc/$pid/task/*/status | awk '/ctxt_switches/ {s += $2} END {print s}')
    sleep "$idle"
    cpu1=$(awk '{print $14 + $15}' /proc/$pid/stat)
    sw1=$(cat /proc/$pid/task/*/status | awk '/ctxt_switches/ {s += $2} END {print s}')
    local rss pss
    rss=$(awk '/^Rss:/ {print $2}' /proc/$pid/smaps_rollup)
    pss=$(awk '/^Pss:/ {print $2}' /proc/$pid/smaps_rollup)
    local hz
    hz=$(getconf CLK_TCK)
    echo "$rss $pss $(( (cpu1 - cpu0) * 1000 / hz )) $(echo "scale=2; ($sw1 - $sw0) / $idle" | bc)"
}

listen_memb 8009 >"$tmp/memb" &
listener=$!
until grep -q ready "$tmp/memb" 2>/dev/null; do sleep 0.02; done
start=$(python3 -c 'import time; print(time.monotonic_ns() // 1000000)')
"$program" 9 >/dev/null 2>&1 &
pid=$!
wait "$listener"
first=$(tail -1 "$tmp/memb")
startup=$(( first - start ))
read -r rss pss cpu wake <<<"$(measure $pid)"
kill -TERM $pid; wait $pid

"$floor" >/dev/null 2>&1 &
fpid=$!
read -r frss fpss fcpu fwake <<<"$(measure $fpid)"
kill -TERM $fpid; wait $fpid 2>/dev/null

# No ratio against a baseline of zero (a floor that never wakes up).
ratio() {
    if [ "$(echo "$2 == 0" | bc)" = 1 ]; then echo "-"; else echo "scale=2; $1 / $2" | bc; fi
}
printf '%-28s %12s %12s %8s\n' "" palaverly "plain Qt" ratio
printf '%-28s %12s %12s %8s\n' "start-up to first MEMB (ms)" "$startup" "-" "-"
printf '%-28s %12s %12s %8s\n' "RSS (kB)" "$rss" "$frss" "$(ratio $rss $frss)"
printf '%-28s %12s %12s %8s\n' "PSS (kB)" "$pss" "$fpss" "$(ratio $pss $fpss)"
printf '%-28s %12s %12s %8s\n' "CPU idle in tray (ms/${idle}s)" "$cpu" "$fcpu" "$(ratio $cpu $fcpu)"
printf '%-28s %12s %12s %8s\n' "wake-ups/s hidden" "$wake" "$fwake" "$(ratio $wake $fwake)"
