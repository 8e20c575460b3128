#!/usr/bin/python3
"""The desktop program on one virtual host (under its own Xvfb) and a headless station on
another exchange a message both ways. The desktop side is driven with xdotool: a click on the
roster row of the peer, the text typed into the message edit and Enter (the settings turn on
sending with Enter); then bursts from a probe. Optionally saves a screenshot (--screenshot PATH)."""

import collections
import contextlib
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

DESKTOP = STATION = PROBE = SCREENSHOT = None
STEP = 20
# Client coordinates in the window of template 102 at its start-up size: the first roster
# row (handle column) and the message edit.
ROSTER_ROW_1 = (40, 377)
MESSAGE_EDIT = (270, 289)


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def log_file(host):
    t = time.localtime()
    name = "CHAT%2d%02d%02d.LOG" % (t.tm_year - 1900, t.tm_mon, t.tm_mday)
    return os.path.join(host.env["XDG_DATA_HOME"], "palaverly", name)


class DesktopOnLan(unittest.TestCase):
    def test_message_both_ways(self):
        with netlan.VirtualLan(hosts=4) as lan:
            desk, peer = lan.host(1), lan.host(2)
            display = next(n for n in range(150, 200)
                           if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                           and not os.path.exists(f"/tmp/.X{n}-lock"))
            x = {"DISPLAY": f":{display}", "QT_QPA_PLATFORM": "xcb"}
            xvfb = desk.spawn(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"])
            deadline = time.monotonic() + STEP
            while not os.path.exists(f"/tmp/.X11-unix/X{display}"):
                self.assertLess(time.monotonic(), deadline, "Xvfb did not start")
                time.sleep(0.05)

            write_settings(peer, ["HandleName=AAA"])
            station = peer.spawn([STATION, "43"])
            station.wait_for_line("^READY$", timeout=STEP)

            write_settings(desk, ["HandleName=たろう", "Flg Transmission with Enter=1",
                                  "Flg LogOutput=1", "Flg ChatWindowReady=1"])
            program = desk.spawn([DESKTOP, "43"], env=x)
            station.wait_for_line("^MEMBERS\t2$", timeout=STEP)

            found = desk.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                              "^Palaverly"], env=x, timeout=STEP, check=True)
            window = found.stdout.split()[0]
            # The roster has filled: the desktop's own INFO went out with the peer's answer.
            time.sleep(0.5)
            xdo = ["xdotool"]
            desk.run(xdo + ["mousemove", "--window", window, *map(str, ROSTER_ROW_1),
                            "click", "1"], env=x, timeout=STEP, check=True)
            desk.run(xdo + ["mousemove", "--window", window, *map(str, MESSAGE_EDIT),
                            "click", "1"], env=x, timeout=STEP, check=True)
            desk.run(xdo + ["type", "--delay", "20", "hello from the desktop"], env=x,
                     timeout=STEP, check=True)
            desk.run(xdo + ["key", "Return"], env=x, timeout=STEP, check=True)
            line = station.wait_for_line("^LOG\t.*hello from the desktop$", timeout=STEP)
            self.assertEqual(line.split("\t")[1:3], ["AAA", "たろう"])

            station.send_line("mark plh1")
            station.send_line("send こんにちは、デスクトップ")
            station.wait_for_line("^LOG\t.*こんにちは、デスクトップ$", timeout=STEP)
            expected = "こんにちは、デスクトップ".encode("cp932")
            deadline = time.monotonic() + STEP
            data = b""
            while expected not in data:
                self.assertLess(time.monotonic(), deadline, f"desktop log: {data!r}")
                time.sleep(0.1)
                if os.path.exists(log_file(desk)):
                    with open(log_file(desk), "rb") as f:
                        data = f.read()
            self.assertIn(b"hello from the desktop", data)

            if SCREENSHOT:
                time.sleep(0.3)
                shot = desk.run(["import", "-window", window, SCREENSHOT], env=x, timeout=STEP)
                self.assertEqual(shot.returncode, 0, shot.stderr)

            # One box "quit" stays on the screen; a lone MEMB gets one INFO from each station, a
            # burst one at once and at most one more per 250 ms while it comes in.
            listener = lan.host(4).spawn([PROBE, "listen", "43", "60"])
            listener.wait_for_line("^READY", timeout=STEP)
            for word, count, stations in (("QUIT", 200, 0), ("MEMB", 1, 2), ("MEMB", 500, 2)):
                flood = lan.host(3).run([PROBE, "flood", "43", str(count), "nobody", "0", word],
                                        timeout=STEP, check=True).stdout.split()
                info = collections.Counter()
                with contextlib.suppress(TimeoutError):  # over once quiet for a second
                    while line := listener.read_line(1.0):
                        if line.startswith("DATAGRAM INFO "):
                            info[line.split()[2]] += 1
                most = 1 if count == 1 else 3 + int(4 * float(flood[-1]))
                self.assertEqual(len(info), stations, word)
                self.assertLessEqual(max(info.values(), default=0), most, info)
            boxes = desk.run(["xdotool", "search", "--onlyvisible", "--name", "^Palaverly$"],
                             env=x, timeout=STEP, check=True).stdout.split()
            self.assertEqual(len(boxes), 1)
            program.send_signal(15)
            self.assertEqual(program.wait(STEP), 0)
            station.wait_for_line("^MEMBERS\t1$", timeout=STEP)
            station.stop()
            xvfb.stop()


if __name__ == "__main__":
    netlan.test_main(globals(), "the desktop LAN test", ["desktop", "station", "probe"],
                     optional=["screenshot"], tools=["Xvfb", "xdotool"], deadline=150)
