#!/usr/bin/python3
"""Flood benchmark on the virtual LAN: SEND datagrams addressed to the station, sent from
another host at full speed and at 20,000/s and 50,000/s, taken by a minimal receive loop (the
floor), by palaverlyd with the daily log off and on, and by the desktop program (shown window
under Xvfb with openbox). For the desktop program the event loop's latency is measured from
outside (wm_ping: _NET_WM_PING every 20 ms) and its memory before and after the flood. Prints
figures only; root is needed for the namespaces (skipped otherwise)."""

import glob
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "lan"))
import netlan  # noqa: E402

BUILD = os.path.join(HERE, "..", "build", "default")
STATION = os.path.join(BUILD, "src", "headless", "palaverlyd")
DESKTOP = os.path.join(BUILD, "src", "desktop", "palaverly")
PROBE = os.path.join(BUILD, "tests", "lan", "lan_probe")
PING = os.path.join(BUILD, "bench", "wm_ping")
QUIET = 3.0  # seconds without a new row that end a run (the machine may be busy)
SEND_RATES = []  # datagrams per second the sender reached, per run
FILE_LINES = []  # flood lines in palaverlyd's daily log file, per run
# (refused for a full socket buffer, arrived with no listener, dropped from a full backlog),
# per station run
UNHEARD = []

# (name, datagrams per second or 0 for full speed, datagrams sent)
RATES = [("full speed", 0, 200000), ("20,000/s", 20000, 100000), ("50,000/s", 50000, 150000)]
# The desktop's full-speed run is long enough (about 10 s) to show whether memory is bounded.
DESKTOP_FULL_COUNT = 700000


def start_flood(lan, n, count, rate):
    argv = [PROBE, "flood", str(n), str(count), "plh2"]
    return lan.host(1).spawn(argv + ([str(rate)] if rate else []))


def flood_result(sender):
    sent, seconds = sender.wait_for_line(r"^FLOODED", timeout=120).split()[1:]
    return int(sent), float(seconds)


def floor(lan, count, rate):
    counter = lan.host(2).spawn([PROBE, "count", "51", "90"])
    counter.wait_for_line("^READY", timeout=10)
    sent, seconds = flood_result(start_flood(lan, 51, count, rate))
    SEND_RATES.append(sent / seconds if seconds else 0)
    got = counter.wait_for_line("^COUNTED", timeout=100).split()[1]
    return sent, int(got)


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def log_folder(host):
    return os.path.join(host.env["XDG_DATA_HOME"], "palaverly")


def clear_logs(host):
    for path in glob.glob(os.path.join(log_folder(host), "CHAT*.LOG")):
        os.remove(path)


def count_in(path, needle=b"\tflood "):
    try:
        with open(path, "rb") as f:
            return f.read().count(needle)
    except OSError:
        return 0


def log_rows(host):
    return sum(count_in(p) for p in glob.glob(os.path.join(log_folder(host), "CHAT*.LOG")))


def wait_quiet(counter, sender):
    """Waits for the flood to end and then until `counter()` stops growing."""
    sent, seconds = flood_result(sender)
    SEND_RATES.append(sent / seconds if seconds else 0)
    last, since = counter(), time.monotonic()
    while time.monotonic() - since < QUIET:
        time.sleep(0.1)
        now = counter()
        if now != last:
            last, since = now, time.monotonic()
    return sent, last


def udp_counters(host):
    """The host kernel's UDP counters: InErrors (refused for a full socket buffer) and
    IgnoredMulti (broadcasts that found no socket on their port, e.g. before a station is up)."""
    lines = [l.split() for l in host.run(["cat", "/proc/net/snmp"], timeout=5).stdout.splitlines()
             if l.startswith("Udp:")]
    counters = dict(zip(lines[0][1:], map(int, lines[1][1:]))) if len(lines) >= 2 else {}
    counters["Backlog"] = backlog_drops()
    return counters


def backlog_drops():
    """Packets the kernel dropped because a CPU's input backlog was full. Every virtual link
    passes through it, before any socket; the counter is the whole machine's, not a host's."""
    try:
        with open("/proc/net/softnet_stat") as f:
            return sum(int(line.split()[1], 16) for line in f if line.strip())
    except (OSError, IndexError, ValueError):
        return 0


def unheard(before, after):
    """Datagrams the kernel refused, had no listener for or dropped from a full backlog between
    two udp_counters."""
    keys = ("InErrors", "IgnoredMulti", "Backlog")
    return tuple(after.get(k, 0) - before.get(k, 0) for k in keys)


def station(lan, count, rate, log_on):
    host = lan.host(2)
    counters = udp_counters(host)
    clear_logs(host)
    write_settings(host, ["HandleName=bench", f"Flg LogOutput={1 if log_on else 0}"])
    out = os.path.join(host.root, "palaverlyd-out.txt")
    # The previous run's READY must not start this flood before this station has its port:
    # the shell truncates the file only once it runs.
    if os.path.exists(out):
        os.remove(out)
    # Its output goes to a file: a reader on a pipe would measure itself, not the station.
    proc = host.spawn(["sh", "-c", f'exec "{STATION}" 52 >"{out}"'])
    deadline = time.monotonic() + 10
    while count_in(out, b"READY\n") == 0 and time.monotonic() < deadline:
        time.sleep(0.05)
    sent, got = wait_quiet(lambda: count_in(out), start_flood(lan, 52, count, rate))
    proc.stop()
    FILE_LINES.append(log_rows(host))
    UNHEARD.append(unheard(counters, udp_counters(host)))
    return sent, got


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def start_display(lan):
    host = lan.host(2)
    display = next(n for n in range(150, 220)
                   if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                   and not os.path.exists(f"/tmp/.X{n}-lock"))
    env = {"DISPLAY": f":{display}", "QT_QPA_PLATFORM": "xcb"}
    host.spawn(["Xvfb", f":{display}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    deadline = time.monotonic() + 10
    while not os.path.exists(f"/tmp/.X11-unix/X{display}"):
        if time.monotonic() > deadline:
            raise netlan.NetLanError("Xvfb did not start")
        time.sleep(0.05)
    # An empty configuration is a syntax error, which openbox shows in a dialog.
    config = os.path.join(host.home, "openbox-rc.xml")
    with open(config, "w") as f:
        f.write('<?xml version="1.0"?>\n<openbox_config xmlns="http://openbox.org/3.4/rc"/>\n')
    host.spawn(["openbox", "--config-file", config, "--sm-disable"], env=env)
    while host.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                   timeout=5).stdout.find("window id") < 0:
        if time.monotonic() > deadline:
            raise netlan.NetLanError("openbox did not start")
        time.sleep(0.05)
    return env


def desktop(lan, env, count, rate):
    host = lan.host(2)
    clear_logs(host)
    write_settings(host, ["HandleName=bench", "Flg LogOutput=1", "Flg ChatWindowReady=1"])
    counters = udp_counters(host)
    program = host.spawn([DESKTOP, "53"], env=env)
    expected = count / rate if rate else count / 70000.0
    pinger = host.spawn([PING, str(program.pid), f"{expected + 4:.1f}"], env=env)
    time.sleep(2.0)  # window up, first roll call answered
    before = rss_kb(program.pid)
    sent, got = wait_quiet(lambda: log_rows(host), start_flood(lan, 53, count, rate))
    after = rss_kb(program.pid)
    fields = pinger.wait_for_line("^PING", timeout=expected + 30).split()
    program.stop()
    UNHEARD.append(unheard(counters, udp_counters(host)))
    worst, p99 = (float(fields[2]), float(fields[3])) if len(fields) >= 4 else (0.0, 0.0)
    return sent, got, worst, p99, before, after


def kernel_note(counts):
    refused, no_listener, backlog = counts
    return (f"kernel: {refused} refused (buffer full), {no_listener} with no listener,"
            f" {backlog} dropped from a full backlog")


def row(label, sent, got, base):
    ratio = f"{got / base:.2f}" if base else "-"
    return f"{label:<30}{sent:>9}{got:>9}{sent - got:>9}{ratio:>8}"


def main():
    if not netlan.is_root():
        print("lan_flood: skipped (needs root for the virtual LAN)")
        return 0
    for program in (STATION, PROBE):
        if not os.path.exists(program):
            print(f"lan_flood: skipped ({program} is not built)")
            return 0
    with_desktop = (os.path.exists(DESKTOP) and os.path.exists(PING)
                    and os.environ.get("FLOOD_DESKTOP", "1") != "0")
    # FLOOD_RATES=20000,0 runs only those rates (0: full speed), for a quick look at one case.
    only = os.environ.get("FLOOD_RATES")
    rates = [r for r in RATES if only is None or str(r[1]) in only.split(",")]
    netlan.arm_deadline(330)
    results = []
    with netlan.VirtualLan(hosts=2) as lan:
        env = start_display(lan) if with_desktop else None
        for name, rate, count in rates:
            first_run = len(SEND_RATES)
            f_sent, f_got = floor(lan, count, rate)
            off = station(lan, count, rate, False) + (UNHEARD[-1],)
            on = station(lan, count, rate, True) + (UNHEARD[-1], FILE_LINES[-1])
            desk = None
            if with_desktop:
                desk = desktop(lan, env, DESKTOP_FULL_COUNT if rate == 0 else count, rate)
                desk += (UNHEARD[-1],)
            results.append((name, (f_sent, f_got), off, on, desk,
                            SEND_RATES[first_run:]))
    print(f"{'':<30}{'sent':>9}{'handled':>9}{'lost':>9}{'/floor':>8}")
    for name, (f_sent, f_got), off, on, desk, sent_rates in results:
        print(f"-- {name} (the sender reached {min(sent_rates):.0f} to {max(sent_rates):.0f}"
              " datagrams/s)")
        print(row("minimal receive loop", f_sent, f_got, f_got))
        print(row("palaverlyd, daily log off", *off[:2], f_got * off[0] / f_sent if f_sent else 0)
              + f"   {kernel_note(off[2])}")
        print(row("palaverlyd, daily log on", *on[:2], f_got * on[0] / f_sent if f_sent else 0)
              + f"   {kernel_note(on[2])}; {on[3]} lines in the daily log file")
        if desk:
            sent, got, worst, p99, before, after, counts = desk
            print(row("desktop program (log on)", sent, got, f_got * sent / f_sent if f_sent else 0)
                  + f"   latency worst {worst:.0f} ms, p99 {p99:.0f} ms;"
                  f" RSS {before // 1024} -> {after // 1024} MB; {kernel_note(counts)}")
    if not with_desktop:
        print("desktop program or wm_ping not built: its rows are left out")
    return 0


if __name__ == "__main__":
    sys.exit(main())
