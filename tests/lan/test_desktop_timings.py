#!/usr/bin/python3
"""Hand-edited timings must not turn a station into a flooder or a spinning process. Three
desktop programs, each on its own virtual host under its own Xvfb with its window shown, have
every timing stored as 0, as a negative number and as 999999; a listener on a fourth host
counts the "GETM" each one broadcasts over ten seconds, and each program's CPU time (not the
wall clock) is read from /proc over the same ten seconds."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

DESKTOP = PROBE = None
STEP = 20
PORT = "44"
WINDOW = 10.0
TIMINGS = ("Scroll Timming", "MsgDownload Timming", "AutoClose Timming", "Recv Timming")
STORED = ("0", "-5", "999999")


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def cpu_seconds(pid):
    """User and system time of the process so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def free_displays(count):
    found = []
    for n in range(200, 260):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            found.append(n)
            if len(found) == count:
                return found
    raise unittest.SkipTest("no free X displays")


def station_id(host):
    return "".join("%03d" % int(part) for part in host.address.split("."))


class HandEditedTimings(unittest.TestCase):
    def test_no_flood_no_spin(self):
        with netlan.VirtualLan(hosts=len(STORED) + 1) as lan:
            listener_host = lan.host(len(STORED) + 1)
            listener = listener_host.spawn([PROBE, "listen", PORT, "60"])
            listener.wait_for_line("^READY", timeout=STEP)
            programs = {}
            for i, (value, display) in enumerate(zip(STORED, free_displays(len(STORED))), 1):
                desk = lan.host(i)
                xvfb = desk.spawn(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                                   "-nolisten", "tcp"])
                deadline = time.monotonic() + STEP
                while not os.path.exists(f"/tmp/.X11-unix/X{display}"):
                    self.assertLess(time.monotonic(), deadline, "Xvfb did not start")
                    self.assertIsNone(xvfb.returncode, "Xvfb ended")
                    time.sleep(0.05)
                write_settings(desk, [f"HandleName=T{value}", "Flg ChatWindowReady=1"] +
                               [f"{name}={value}" for name in TIMINGS])
                env = {"DISPLAY": f":{display}", "QT_QPA_PLATFORM": "xcb"}
                programs[station_id(desk)] = (value, desk.spawn([DESKTOP, PORT], env=env))

            # Every program is up once its own INFO went out (its window shows by then) and
            # the first INFO it heard has made it ask for bulletins once.
            seen = {"INFO": set(), "GETM": set()}
            while any(seen[word] != set(programs) for word in seen):
                parts = listener.wait_for_line("^DATAGRAM (INFO|GETM) ", timeout=STEP).split()
                seen[parts[1]].add(parts[2])
            for value, program in programs.values():
                self.assertIsNone(program.returncode, f"{value}: {program.stderr_text()}")
            before = {sid: cpu_seconds(p.pid) for sid, (_, p) in programs.items()}
            getm = {sid: 0 for sid in programs}
            deadline = time.monotonic() + WINDOW
            while (left := deadline - time.monotonic()) > 0:
                try:
                    line = listener.read_line(left)
                except TimeoutError:
                    break
                if line is None:
                    break
                parts = line.split()
                if len(parts) >= 3 and parts[1] == "GETM" and parts[2] in getm:
                    getm[parts[2]] += 1
            cpu = {sid: cpu_seconds(p.pid) - before[sid] for sid, (_, p) in programs.items()}

            for sid, (value, program) in programs.items():
                print(f"stored {value}: {getm[sid]} GETM, {cpu[sid]:.2f} s CPU in {WINDOW} s")
                self.assertIsNone(program.returncode, f"{value}: {program.stderr_text()}")
                # One poll per ten seconds at the most: never a flood.
                self.assertLess(getm[sid], 3, f"stored {value}")
                # The ticker's fastest scroll costs a little; a spinning timer costs a core.
                self.assertLess(cpu[sid], 0.15 * WINDOW, f"stored {value}")
            for _, program in programs.values():
                program.stop()


if __name__ == "__main__":
    netlan.test_main(globals(), "the desktop timings test", ["desktop", "probe"],
                     tools=["Xvfb"], deadline=55)
