#!/usr/bin/python3
"""The desktop program on one virtual host, driven only through the accessibility bus
(a11y_driver.py inside that host's own session bus and display), sends a message to a
headless station on another host, which logs it."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

DESKTOP = STATION = None
DRIVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "a11y_driver.py")
STEP = 30


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


class DesktopThroughAccessibility(unittest.TestCase):
    def test_send_to_a_marked_peer(self):
        with netlan.VirtualLan(hosts=2) as lan:
            desk, peer = lan.host(1), lan.host(2)
            # Xvfb picks a free display itself and names it once it accepts clients.
            xvfb = desk.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"])
            display = xvfb.wait_for_line(r"^\d+$", timeout=STEP).strip()
            x = {"DISPLAY": f":{display}", "QT_QPA_PLATFORM": "xcb",
                 "DBUS_SESSION_BUS_ADDRESS": ""}

            write_settings(peer, ["HandleName=AAA"])
            station = peer.spawn([STATION, "43"])
            station.wait_for_line("^READY$", timeout=STEP)

            write_settings(desk, ["HandleName=たろう", "Flg ChatWindowReady=1"])
            typed, appended = "typed through the registry <ok> ", "読み上げから"
            text = typed + appended
            driver = desk.spawn(["dbus-run-session", "--", sys.executable, DRIVER,
                                 "--desktop", DESKTOP, "--port", "43",
                                 "--peer-handle", "AAA", "--text", typed, "--append", appended],
                                env=x)
            try:
                line = driver.wait_for_line("^(READY|SKIP.*)$", timeout=STEP)
            except TimeoutError:
                print("driver:", driver.stderr_text(), file=sys.stderr)
                raise
            if line.startswith("SKIP"):
                driver.wait(STEP)
                self.skipTest(line)
            columns = driver.wait_for_line("^COLUMNS ", timeout=STEP)
            self.assertTrue(columns.startswith("COLUMNS ﾊﾝﾄﾞﾙ|状態|ｺﾝﾋﾟｭｰﾀ名"), columns)
            driver.wait_for_line("^SENT$", timeout=STEP)
            logged = station.wait_for_line("^LOG\t.*" + text.replace("<", ".").replace(">", "."),
                                           timeout=STEP)
            # Receiver, sender: the peer itself and the desktop's handle.
            self.assertEqual(logged.split("\t")[1:3], ["AAA", "たろう"])
            self.assertTrue(logged.endswith("\t" + text), logged)

            driver.send_line("quit")
            driver.wait_for_line("^EXIT 0$", timeout=STEP)
            station.wait_for_line("^MEMBERS\t1$", timeout=STEP)
            driver.wait(STEP)
            station.stop()
            xvfb.stop()


if __name__ == "__main__":
    netlan.test_main(globals(), "the desktop accessibility test", ["desktop", "station"],
                     tools=["Xvfb", "dbus-run-session", "dbus-send"], deadline=120,
                     check=lambda: None if subprocess.run(
                         [sys.executable, "-c", "import pyatspi"],
                         capture_output=True).returncode == 0 else "python3-pyatspi")
