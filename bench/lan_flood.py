#!/usr/bin/python3
"""Flood benchmark on the virtual LAN: how many SEND datagrams addressed to it a palaverlyd
dispatches per second, and how many it loses, next to a minimal receive loop (the floor) on
the same host. Prints figures only; root is needed for the namespaces (skipped otherwise)."""

import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "lan"))
import netlan  # noqa: E402

BUILD = os.path.join(HERE, "..", "build", "default")
STATION = os.path.join(BUILD, "src", "shell", "palaverlyd")
PROBE = os.path.join(BUILD, "tests", "lan", "lan_probe")
COUNT = int(os.environ.get("FLOOD_COUNT", "20000"))


def start_flood(lan, n):
    return lan.host(1).spawn([PROBE, "flood", str(n), str(COUNT), "plh2"])


def flood_result(sender):
    sent, seconds = sender.wait_for_line(r"^FLOODED", timeout=60).split()[1:]
    return int(sent), float(seconds)


def flood(lan, n):
    return flood_result(start_flood(lan, n))


def floor(lan):
    counter = lan.host(2).spawn([PROBE, "count", "51", "60"])
    counter.wait_for_line("^READY", timeout=10)
    sent, _ = flood(lan, 51)
    got, span = counter.wait_for_line("^COUNTED", timeout=70).split()[1:]
    return sent, int(got), float(span)


def station(lan):
    conf = os.path.join(lan.host(2).env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("HandleName=bench\n")
    proc = lan.host(2).spawn([STATION, "52"])
    proc.wait_for_line("^READY$", timeout=10)
    # The station's output is read while the flood runs: a full pipe would stall it.
    sender = start_flood(lan, 52)
    first = last = None
    got = 0
    while True:
        try:
            line = proc.read_line(timeout=1.5)
        except TimeoutError:
            break
        if line is None:
            break
        if line.startswith("LOG\t") and "flood" in line:
            now = time.monotonic()
            first = first or now
            last = now
            got += 1
    proc.stop()
    sent, _ = flood_result(sender)
    return sent, got, (last - first) if got > 1 else 0.0


def main():
    if not netlan.is_root():
        print("lan_flood: skipped (needs root for the virtual LAN)")
        return 0
    for program in (STATION, PROBE):
        if not os.path.exists(program):
            print(f"lan_flood: skipped ({program} is not built)")
            return 0
    netlan.arm_deadline(300)
    with netlan.VirtualLan(hosts=2) as lan:
        f_sent, f_got, f_span = floor(lan)
        s_sent, s_got, s_span = station(lan)
    f_rate = f_got / f_span if f_span else 0
    s_rate = s_got / s_span if s_span else 0
    print(f"{'receiver':<28}{'sent':>8}{'handled':>9}{'lost':>8}{'datagrams/s':>14}")
    print(f"{'minimal receive loop':<28}{f_sent:>8}{f_got:>9}{f_sent - f_got:>8}{f_rate:>14.0f}")
    print(f"{'palaverlyd (dispatch+LOG)':<28}{s_sent:>8}{s_got:>9}{s_sent - s_got:>8}{s_rate:>14.0f}")
    if f_rate:
        print(f"palaverlyd / floor: {s_rate / f_rate:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
