#!/usr/bin/python3
"""How the desktop program ends with the user's session, on a virtual host with its own display
server, while a listener on a second host hears what goes out on the LAN:

- display_lost: the X server is killed under the running program (a log-off that ends the
  display before any session request or signal);
- wayland_lost: the same with the Wayland compositor (weston, headless);
- sigterm: systemd's SIGTERM at log-out, to a program whose standard error nobody reads any
  more (a closed terminal: every write there raises SIGPIPE);
- xsmp: a log-out through a real XSMP session manager (xfce4-session).

Each time the peer hears "BYE" and the settings file holds the handle, status and placement the
user typed and set before. Run one case with its name as the only test argument."""

import os
import shutil
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

DESKTOP = PROBE = None
STEP = 20
PORT = "43"
# Client coordinates in the window of template 102: the handle edit, the status edit and the
# refresh button.
HANDLE_EDIT = (124, 15)
STATUS_EDIT = (231, 15)
REFRESH_BUTTON = (43, 331)


def conf_path(host):
    return os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")


def write_settings(host, lines):
    os.makedirs(os.path.dirname(conf_path(host)), exist_ok=True)
    with open(conf_path(host), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def read_settings(host):
    values = {}
    with open(conf_path(host), encoding="utf-8") as f:
        for line in f:
            name, sep, value = line.rstrip("\n").partition("=")
            if sep:
                values[name] = value
    return values


def free_display():
    for n in range(200, 250):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise unittest.SkipTest("no free X display")


def wait_for(predicate, what, timeout=STEP):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class SessionEnd(unittest.TestCase):
    def setUp(self):
        self.lan = netlan.VirtualLan(hosts=2)
        self.lan.__enter__()
        self.desk, self.peer = self.lan.host(1), self.lan.host(2)
        self.listener = self.peer.spawn([PROBE, "listen", PORT, "55"])
        self.listener.wait_for_line("^READY", timeout=STEP)

    def tearDown(self):
        self.lan.close()

    # --- the pieces ---

    def start_xvfb(self):
        display = free_display()
        self.x = {"DISPLAY": f":{display}", "QT_QPA_PLATFORM": "xcb"}
        self.xvfb = self.desk.spawn(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp"])
        wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{display}"), "Xvfb")

    def xdo(self, *args):
        return self.desk.run(["xdotool", *map(str, args)], env=self.x, timeout=STEP, check=True)

    def start_program(self, env, argv=None):
        write_settings(self.desk, ["HandleName=Taro", "Status=Idle"])
        self.program = self.desk.spawn(argv or [DESKTOP, PORT], env=env)
        self.heard("MEMB")

    def heard(self, word):
        return self.listener.wait_for_line(f"^DATAGRAM {word} ", timeout=STEP)

    def type_handle_status_and_place(self):
        """Types a new handle (committed by moving to the status edit) and a new status (not
        committed), then moves and resizes the window."""
        found = self.xdo("search", "--sync", "--onlyvisible", "--name", "^Palaverly")
        window = found.stdout.split()[0]
        self.xdo("mousemove", "--window", window, *HANDLE_EDIT, "click", "1")
        self.xdo("key", "ctrl+a")
        self.xdo("type", "--delay", "20", "Hanako")
        self.xdo("mousemove", "--window", window, *STATUS_EDIT, "click", "1")
        self.heard("MEMB")  # the handle edit lost the focus: the new handle is in force
        self.xdo("key", "ctrl+a")
        self.xdo("type", "--delay", "20", "Busy9")
        self.xdo("windowmove", window, 200, 150)
        self.xdo("windowsize", window, 720, 560)
        # A click behind the moves: once its roll call goes out, the moves have been handled.
        self.xdo("mousemove", "--window", window, *REFRESH_BUTTON, "click", "1")
        self.heard("MEMB")
        return window

    def assert_signed_off_and_saved(self, handle, status, placement):
        self.heard("BYE")
        self.assertEqual(self.program.wait(STEP), 0, self.program.stderr_text())
        values = read_settings(self.desk)
        self.assertEqual(values.get("HandleName"), handle)
        self.assertEqual(values.get("Status"), status)
        self.assertEqual(values.get("WindowPos"), placement)

    # --- the cases ---

    def test_display_lost(self):
        self.start_xvfb()
        self.start_program(self.x)
        self.type_handle_status_and_place()
        self.xvfb.send_signal(signal.SIGTERM)  # the display server ends first
        self.assert_signed_off_and_saved("Hanako", "Busy9", "0,1,-1,-1,-1,-1,200,150,920,710")
        self.assertIn("X11 connection broke", self.program.stderr_text())

    def test_sigterm(self):
        self.start_xvfb()
        # Standard error is a pipe whose reader has ended; Qt's plugin messages write there at
        # once. The program is exec'd in place, so the PID is its own.
        broken_stderr = ["bash", "-c", 'exec 2> >(true); wait $!; exec "$@"', "bash", DESKTOP,
                         PORT]
        self.start_program(dict(self.x, QT_DEBUG_PLUGINS="1"), broken_stderr)
        self.type_handle_status_and_place()
        self.program.send_signal(signal.SIGTERM)
        self.assert_signed_off_and_saved("Hanako", "Busy9", "0,1,-1,-1,-1,-1,200,150,920,710")
        self.xvfb.stop()

    def test_xsmp(self):
        for tool in ("xfce4-session", "xfce4-session-logout", "dbus-daemon"):
            if not shutil.which(tool):
                self.skipTest(f"{tool} missing")
        self.start_xvfb()
        bus = self.desk.spawn(["dbus-daemon", "--session", "--nofork", "--print-address"])
        address = bus.read_line(STEP)
        session_env = dict(self.x, DBUS_SESSION_BUS_ADDRESS=address)
        manager = self.desk.spawn(["xfce4-session"], env=session_env)
        ice = f"/tmp/.ICE-unix/{manager.pid}"
        # The manager leaves its socket behind in the shared folder.
        self.addCleanup(lambda: os.path.exists(ice) and os.unlink(ice))
        wait_for(lambda: os.path.exists(ice), "the session manager's ICE socket")
        host = self.desk.name
        session_env["SESSION_MANAGER"] = f"local/{host}:@{ice},unix/{host}:{ice}"
        self.start_program(session_env)
        self.type_handle_status_and_place()
        logout = self.desk.run(["xfce4-session-logout", "--logout", "--fast"], env=session_env,
                               timeout=STEP)
        self.assertEqual(logout.returncode, 0, logout.stderr)
        self.assert_signed_off_and_saved("Hanako", "Busy9", "0,1,-1,-1,-1,-1,200,150,920,710")
        manager.stop()
        bus.stop()
        self.xvfb.stop()

    def test_wayland_lost(self):
        if not shutil.which("weston"):
            self.skipTest("weston missing")
        runtime = self.desk.env["XDG_RUNTIME_DIR"]
        compositor = self.desk.spawn(["weston", "--backend=headless-backend.so",
                                      "--socket=palaverly-test", "--idle-time=0"])
        wait_for(lambda: os.path.exists(os.path.join(runtime, "palaverly-test")), "weston")
        env = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": "palaverly-test",
               "DISPLAY": ""}
        write_settings(self.desk, ["HandleName=Taro", "Status=Idle",
                                   "WindowPos=0,1,-1,-1,-1,-1,300,200,1100,800"])
        self.program = self.desk.spawn([DESKTOP, PORT], env=env)
        self.heard("MEMB")
        compositor.send_signal(signal.SIGKILL)  # gone without a word
        # A Wayland client cannot place its window: the position read stays, the size too.
        self.assert_signed_off_and_saved("Taro", "Idle", "0,1,-1,-1,-1,-1,300,200,1100,800")
        compositor.wait(STEP)


if __name__ == "__main__":
    netlan.test_main(globals(), "the desktop session-end test", ["desktop", "probe"],
                     tools=["Xvfb", "xdotool"], deadline=110)
