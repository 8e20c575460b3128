#!/usr/bin/python3
"""Suspend and resume of the desktop program against python-dbusmock's logind template on a
private system bus. plh1 runs the desktop program (offscreen), plh2 a headless peer.

- At start the program holds a "delay" inhibitor for sleep (the mock lists it).
- PrepareForSleep(true): the peer sees the BYE (its roster loses plh1), the inhibitor is let
  go, and strace of the program shows the BYE sendmsg before the close of the inhibitor's
  descriptor (the end of the mock's pipe that it holds).
- PrepareForSleep(false): the inhibitor is taken again and a roll call brings plh1 back.
"""

import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

try:
    import dbus
except ImportError:  # python3-dbus comes with python3-dbusmock
    dbus = None

DESKTOP = STATION = None
STEP = 15
PORT = "46"
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def pipe_inodes(pid):
    found = {}
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        if target.startswith("pipe:"):
            found[int(fd)] = target
    return found


def traced(pid):
    """True when every thread of `pid` has a tracer."""
    tasks = os.listdir(f"/proc/{pid}/task")
    for task in tasks:
        with open(f"/proc/{pid}/task/{task}/status") as f:
            tracer = [l for l in f if l.startswith("TracerPid:")][0].split()[1]
        if tracer == "0":
            return False
    return bool(tasks)


def command_word(hex_bytes):
    """The command word of a scrambled Datagram given as strace's \\xHH text."""
    data = bytes(int(h, 16) for h in hex_bytes.split("\\x")[1:])
    plain = bytes(b ^ ((i + 128) % 256) for i, b in enumerate(data))
    return plain[18:23].split(b"\0")[0].decode("ascii", "replace")


class Suspend(unittest.TestCase):
    def wait_for(self, what, condition):
        deadline = time.monotonic() + STEP
        while not condition():
            self.assertLess(time.monotonic(), deadline, what)
            time.sleep(0.05)

    def test_bye_leaves_before_the_inhibitor_is_released_and_resume_rolls_call(self):
        netlan.arm_deadline(55)
        with netlan.VirtualLan(hosts=2) as lan:
            desk, peer = lan.host(1), lan.host(2)
            socket_path = os.path.join(desk.root, "system_bus_socket")
            config = os.path.join(desk.root, "system-bus.conf")
            with open(config, "w") as f:
                f.write(BUS_CONFIG.format(socket=socket_path))
            daemon = desk.spawn(["dbus-daemon", "--config-file=" + config, "--nofork",
                                 "--print-address"])
            address = daemon.read_line(STEP)
            self.assertTrue(address and address.startswith("unix:"), daemon.stderr_text())
            bus_env = {"DBUS_SYSTEM_BUS_ADDRESS": address}
            call_log = os.path.join(desk.root, "logind-calls.log")
            mock = desk.spawn(["/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                               "logind", "-l", call_log], env=bus_env)
            bus = dbus.bus.BusConnection(address)
            self.wait_for("the mock on the bus",
                          lambda: bus.name_has_owner("org.freedesktop.login1"))
            login1 = bus.get_object("org.freedesktop.login1", "/org/freedesktop/login1")
            manager = dbus.Interface(login1, "org.freedesktop.login1.Manager")
            control = dbus.Interface(login1, "org.freedesktop.DBus.Mock")

            def inhibitors():
                return [tuple(str(x) for x in i[:4]) for i in manager.ListInhibitors()]

            ours = ("sleep", "Palaverly", "Sign off before sleep", "delay")
            write_settings(peer, ["HandleName=Peer"])
            station = peer.spawn([STATION, PORT])
            station.wait_for_line("^READY$", timeout=STEP)
            write_settings(desk, ["HandleName=Desk"])
            program = desk.spawn([DESKTOP, PORT], env=dict(bus_env, QT_QPA_PLATFORM="offscreen"))
            station.wait_for_line("^MEMBERS\t2$", timeout=STEP)
            self.wait_for("the inhibitor taken at start", lambda: inhibitors() == [ours])

            # The program's end of the mock's pipe is the inhibitor.
            mock_pipes = set(pipe_inodes(mock.pid).values())
            held = [fd for fd, inode in pipe_inodes(program.pid).items() if inode in mock_pipes]
            self.assertEqual(len(held), 1, (held, pipe_inodes(program.pid)))
            inhibitor_fd = held[0]

            trace_file = os.path.join(desk.root, "strace.txt")
            tracer = desk.spawn(["strace", "-f", "-qq", "-xx", "-s", "64", "-e",
                                 "trace=sendmsg,sendto,close", "-e", "signal=none", "-o",
                                 trace_file, "-p", str(program.pid)])
            self.wait_for("strace attached", lambda: traced(program.pid))

            control.EmitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                               [dbus.Boolean(True)])
            station.wait_for_line("^MEMBERS\t1$", timeout=STEP)
            self.wait_for("the inhibitor released", lambda: inhibitors() == [])
            tracer.send_signal(signal.SIGINT)
            tracer.wait(STEP)
            with open(trace_file) as f:
                calls = f.read().splitlines()
            byes = [i for i, l in enumerate(calls) if "sendmsg(" in l and "iov_base=" in l
                    and command_word(l.split('iov_base="')[1].split('"')[0]) == "BYE"]
            closes = [i for i, l in enumerate(calls) if f"close({inhibitor_fd})" in l]
            self.assertTrue(byes, calls)
            self.assertTrue(closes, calls)
            self.assertLess(max(byes), closes[0], calls)
            # The BYE was sent on the thread that then let the inhibitor go.
            self.assertEqual(calls[byes[0]].split()[0], calls[closes[0]].split()[0])

            control.EmitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                               [dbus.Boolean(False)])
            self.wait_for("the inhibitor taken again", lambda: inhibitors() == [ours])
            station.wait_for_line("^MEMBERS\t2$", timeout=STEP)
            with open(call_log) as f:
                self.assertEqual(sum(1 for l in f if " Inhibit " in l), 2)
            self.assertIsNone(program.returncode)
        self.assertEqual(lan.leftovers(), [])


if __name__ == "__main__":
    netlan.test_main(
        globals(), "the suspend test", ["desktop", "station"], tools=["dbus-daemon", "strace"],
        check=lambda: None if dbus is not None and os.path.exists(
            "/usr/lib/python3/dist-packages/dbusmock/templates/logind.py")
        else "python3-dbusmock")
