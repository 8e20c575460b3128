#!/usr/bin/python3
"""The virtual-LAN harness itself: what each host sees, process handling, and that nothing is
left behind after a normal end, an exception, SIGTERM, or SIGKILL followed by the next run."""

import json
import os
import signal
import stat
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import netlan  # noqa: E402

STEP = 10

# A separate harness process for the signal cases: builds a LAN, starts a process that ignores
# end of input on host 1, reports what it made, then waits to be signalled.
CHILD = r"""
import json, sys
sys.path.insert(0, sys.argv[1])
import netlan
lan = netlan.VirtualLan(hosts=2)
lan.start()
keeper = lan.host(1).spawn(["sleep", "infinity"])
print(json.dumps({"tag": lan.tag, "temp": lan.temp_dir, "pid": keeper.pid}), flush=True)
sys.stdin.read()
"""


def namespaces():
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    return [line.split()[0] for line in out.splitlines() if line.strip()]


def traces(tag, temp_dir, pids):
    found = [n for n in namespaces() if n.startswith(tag)]
    if os.path.isdir(netlan.ETC_NETNS):
        found += [n for n in os.listdir(netlan.ETC_NETNS) if n.startswith(tag)]
    if os.path.exists(temp_dir):
        found.append(temp_dir)
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                if f.read().split(") ")[-1][0] != "Z":
                    found.append(f"pid {pid}")
        except FileNotFoundError:
            pass
    return found


class HostsOfOneLan(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lan = netlan.VirtualLan(hosts=3)
        cls.lan.start()

    @classmethod
    def tearDownClass(cls):
        cls.lan.close()

    def shell(self, host, script):
        result = self.lan.host(host).run(["sh", "-c", script], timeout=STEP)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def test_each_host_has_its_name_address_and_broadcast_route(self):
        for host in self.lan.hosts:
            with self.subTest(host=host.name):
                self.assertEqual(self.shell(host.index, "hostname").strip(), f"plh{host.index}")
                self.assertIn(f"inet 10.213.77.{10 + host.index}/24",
                              self.shell(host.index, "ip -4 addr show dev eth0"))
                route = self.shell(host.index, "ip route get 255.255.255.255")
                self.assertRegex(route, r"^broadcast 255\.255\.255\.255 dev eth0 ")

    def test_names_resolve_from_the_hosts_file_only(self):
        for host in (1, 3):
            with self.subTest(host=host):
                resolved = self.shell(host, "getent hosts plh1 plh2 plh3")
                self.assertEqual([" ".join(l.split()) for l in resolved.splitlines()],
                                 ["10.213.77.11 plh1", "10.213.77.12 plh2", "10.213.77.13 plh3"])
                self.assertIn("127.0.0.1", self.shell(host, "getent ahostsv4 localhost"))
                self.assertEqual(self.shell(host, "cat /etc/resolv.conf"), "")
                self.assertEqual(self.shell(host, "grep '^hosts:' /etc/nsswitch.conf"),
                                 "hosts: files\n")
                unknown = self.lan.host(host).run(["getent", "hosts", "example.org"],
                                                  timeout=STEP)
                self.assertEqual(unknown.returncode, 2)

    def test_each_host_has_private_folders(self):
        names = ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR")
        seen = set()
        for host in self.lan.hosts:
            script = "; ".join(f'echo "${name}"' for name in names)
            folders = self.shell(host.index, script).split()
            self.assertEqual(len(folders), len(names))
            for path in folders:
                self.assertTrue(path.startswith(self.lan.temp_dir), path)
                self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o700, path)
            self.assertEqual(self.shell(host.index, "pwd").strip(), folders[0])
            seen.update(folders)
        self.assertEqual(len(seen), len(names) * len(self.lan.hosts))

    def test_spawned_process_talks_through_pipes_and_gets_signals(self):
        script = ("import signal, sys\n"
                  "signal.signal(signal.SIGUSR1, lambda *a: print('USR1', flush=True))\n"
                  "print('READY', flush=True)\n"
                  "for line in sys.stdin: print('echo ' + line.strip(), flush=True)\n")
        process = self.lan.host(2).spawn([sys.executable, "-c", script])
        process.wait_for_line("^READY$", STEP)
        process.send_line("hello")
        self.assertEqual(process.read_line(STEP), "echo hello")
        process.send_signal(signal.SIGUSR1)
        self.assertEqual(process.read_line(STEP), "USR1")
        process.close_stdin()
        self.assertEqual(process.read_all(STEP), ["READY", "echo hello", "USR1"])
        self.assertEqual(process.wait(STEP), 0)

    def test_run_that_times_out_leaves_no_process(self):
        with self.assertRaises(subprocess.TimeoutExpired):
            self.lan.host(3).run(["sleep", "infinity"], timeout=0.2)
        self.assertEqual(netlan._netns_pids(self.lan.host(3).namespace), [])


class SeveralLansAndARouter(unittest.TestCase):
    RECEIVE = ("import socket, sys\n"
               "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
               "s.bind(('0.0.0.0', 9753)); print('READY', flush=True)\n"
               "data, peer = s.recvfrom(100); print(data.decode(), peer[0], flush=True)\n")
    SEND = ("import socket, sys\n"
            "socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(b'over', (sys.argv[1], 9753))\n")

    def test_links_routes_router_and_cleanup(self):
        with netlan.VirtualLan(hosts=2, links={1: ["10.213.77", "10.213.78", "10.213.79"],
                                                2: ["10.213.76"]},
                               routers=[["10.213.79", "10.213.76"]], default_route={1: 2},
                               down={1: ["eth1"]}) as lan:
            multi, far = lan.host(1), lan.host(2)
            self.assertEqual(multi.address, "10.213.77.11")
            self.assertEqual(multi.addresses, ["10.213.77.11", "10.213.78.11", "10.213.79.11"])
            self.assertEqual(far.address, "10.213.76.12")
            shown = multi.run(["ip", "-br", "-4", "addr"], timeout=STEP, check=True).stdout
            states = {l.split()[0].split("@")[0]: l.split()[1] for l in shown.splitlines()}
            self.assertEqual((states["eth0"], states["eth1"], states["eth2"]),
                             ("UP", "DOWN", "UP"))
            route = multi.run(["ip", "route", "get", "255.255.255.255"], timeout=STEP,
                              check=True).stdout
            self.assertRegex(route, r"dev eth2 ")
            multi.set_link("eth1", True)
            shown = multi.run(["ip", "-br", "-4", "addr", "show", "dev", "eth1"], timeout=STEP,
                              check=True).stdout
            self.assertIn("UP", shown)
            # Unicast crosses the router, in both directions (the answer needs its way back).
            receiver = far.spawn([sys.executable, "-c", self.RECEIVE])
            receiver.wait_for_line("^READY$", STEP)
            multi.run([sys.executable, "-c", self.SEND, far.address], timeout=STEP, check=True)
            self.assertEqual(receiver.read_line(STEP), "over 10.213.79.11")
            receiver = multi.spawn([sys.executable, "-c", self.RECEIVE])
            receiver.wait_for_line("^READY$", STEP)
            far.run([sys.executable, "-c", self.SEND, "10.213.79.11"], timeout=STEP, check=True)
            self.assertEqual(receiver.read_line(STEP), "over 10.213.76.12")
        self.assertEqual(lan.leftovers(), [])


class NothingLeftBehind(unittest.TestCase):
    def test_after_an_exception(self):
        with self.assertRaises(RuntimeError):
            with netlan.VirtualLan(hosts=2) as lan:
                keeper = lan.host(2).spawn(["sleep", "infinity"])
                raise RuntimeError("test failed half-way")
        self.assertEqual(traces(lan.tag, lan.temp_dir, [keeper.pid]), [])
        self.assertEqual(lan.leftovers(), [])

    def test_two_lans_side_by_side(self):
        with netlan.VirtualLan(hosts=1) as a, netlan.VirtualLan(hosts=1) as b:
            self.assertNotEqual(a.tag, b.tag)
            for lan in (a, b):
                result = lan.host(1).run(["hostname"], timeout=STEP)
                self.assertEqual(result.stdout.strip(), "plh1")
        self.assertEqual(a.leftovers() + b.leftovers(), [])

    @staticmethod
    def end_child(child):
        if child.poll() is None:
            child.kill()
        child.communicate()

    def start_child(self):
        child = subprocess.Popen([sys.executable, "-c", CHILD, HERE], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.end_child, child)
        made = json.loads(child.stdout.readline())
        self.assertTrue(traces(made["tag"], made["temp"], [made["pid"]]))
        return child, made

    def test_after_sigterm(self):
        child, made = self.start_child()
        child.send_signal(signal.SIGTERM)
        _, errors = child.communicate(timeout=STEP)
        self.assertEqual(child.returncode, 128 + signal.SIGTERM, errors)
        self.assertEqual(traces(made["tag"], made["temp"], [made["pid"]]), [])

    def test_after_sigkill_the_next_run_sweeps(self):
        child, made = self.start_child()
        child.kill()
        child.wait(STEP)
        left = traces(made["tag"], made["temp"], [made["pid"]])
        self.assertIn(f"pid {made['pid']}", left)
        self.assertIn(made["tag"] + "h1", left)
        netlan.sweep_stale()
        self.assertEqual(traces(made["tag"], made["temp"], [made["pid"]]), [])


if __name__ == "__main__":
    netlan.test_main(globals(), "the virtual-LAN harness test", deadline=50)
