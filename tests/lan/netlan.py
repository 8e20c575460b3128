#!/usr/bin/python3
"""A virtual LAN of network namespaces for end-to-end tests (run as root).

Each virtual host is a network namespace with one veth link to a bridge that lives in a
namespace of its own, an address in 10.213.77.0/24 (host i is 10.213.77.(10+i)), a default
route through that link so that 255.255.255.255 leaves through it, its own host name (UTS
namespace), its own /etc/hosts, an empty resolv.conf, and its own HOME and XDG folders.
Nothing of it touches the main namespace's links, and everything is removed again on close,
after an exception, at exit, on SIGTERM/SIGINT/SIGHUP/SIGALRM (the process then ends with
128 + signal), and, for runs that were SIGKILLed, by the sweep at the start of the next run.

    with VirtualLan(hosts=3) as lan:
        listener = lan.host(2).spawn(["lan_probe", "listen", "37", "10", "1"])
        listener.wait_for_line("READY", timeout=10)
        lan.host(1).run(["lan_probe", "send", "37", "hello"], timeout=10, check=True)
        print(listener.wait_for_line("DATAGRAM", timeout=10))

Several LANs: `links` gives a host several interfaces (eth0, eth1, ...), each on the bridge of
its subnet; `routers` adds router namespaces that forward between subnets (each router has
address <subnet>.1 on every subnet it joins); `default_route` picks the link of the default
route (through the router's address when a router joins that subnet).

    VirtualLan(hosts=3, links={1: ["10.213.77", "10.213.78"], 3: ["10.213.78"]},
               routers=[["10.213.78", "10.213.79"]])

Only the Python standard library is used.
"""

import atexit
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SKIP_RETURN_CODE = 77
SUBNET = "10.213.77"
PREFIX_LENGTH = 24
ETC_NETNS = "/etc/netns"
NETNS_RUN_DIR = "/run/netns"

# Every object this module creates in the system is named "pllan<pid>x<seq>...", so that a
# later run can tell the leftovers of a dead run from those of a live one.
_NAME_PREFIX = "pllan"
_NAME_RE = re.compile(r"^" + _NAME_PREFIX + r"(\d+)x\d+")
_TEMP_RE = re.compile(r"^" + _NAME_PREFIX + r"-(\d+)-")

_HANDLED_SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGALRM)
_live_lans = []
_handlers_installed = False
_sequence = 0
_closing = 0  # nesting depth of close(); a signal meanwhile waits for its end
_pending_signal = None


class NetLanError(Exception):
    """The virtual LAN could not be set up or a host command failed."""


def is_root():
    return os.geteuid() == 0


def skip_unless_root(what="this test"):
    """Ends the process with the CTest skip code when not running as root."""
    if not is_root():
        print(f"SKIPPED: {what} needs root (network namespaces)", flush=True)
        sys.exit(SKIP_RETURN_CODE)


def test_main(scope, what, programs=(), optional=(), tools=(), deadline=None, check=None):
    """The start every LAN test script shares: the program paths of its command line (--name
    becomes scope["NAME"], made absolute), root, the tools it needs, its own `check` (a reason
    to skip, or None), the deadline; then its unittest cases. A run whose every case was
    skipped ends with the CTest skip code."""
    import argparse
    import unittest
    parser = argparse.ArgumentParser()
    for name in programs:
        parser.add_argument("--" + name, required=True)
    for name in optional:
        parser.add_argument("--" + name)
    args, rest = parser.parse_known_args()
    for name, value in vars(args).items():
        scope[name.upper()] = os.path.abspath(value) if value else None
    skip_unless_root(what)
    missing = [tool for tool in tools if shutil.which(tool) is None]
    reason = f"{', '.join(missing)} missing" if missing else check() if check else None
    if reason:
        print(f"SKIPPED: {what} needs {reason}", flush=True)
        sys.exit(SKIP_RETURN_CODE)
    if deadline:
        arm_deadline(deadline)
    result = unittest.main(argv=[sys.argv[0], *rest], verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP_RETURN_CODE if result.testsRun and len(result.skipped) == result.testsRun
             else 0)


def arm_deadline(seconds):
    """Ends the run (with cleanup) if it is still going after `seconds`: a hung step must not
    leave the harness to a SIGKILL from outside, which no cleanup survives."""
    _install_handlers()
    signal.alarm(int(seconds))


def _ip(*args, check=True, timeout=20):
    result = subprocess.run(["ip", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise NetLanError(f"ip {' '.join(args)}: {result.stderr.strip()}")
    return result


def _pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def _netns_names():
    result = _ip("netns", "list", check=False)
    return [line.split()[0] for line in result.stdout.splitlines() if line.strip()]


def _netns_pids(namespace):
    result = _ip("netns", "pids", namespace, check=False)
    return [int(p) for p in result.stdout.split() if p.isdigit()]


def _kill_namespace_processes(namespace):
    # Whatever still runs inside one of our namespaces was started by us (the names are ours).
    for _ in range(50):
        pids = [p for p in _netns_pids(namespace) if p != os.getpid()]
        if not pids:
            return
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.02)


def _remove_namespace(namespace):
    _kill_namespace_processes(namespace)
    if namespace in _netns_names():
        _ip("netns", "del", namespace, check=False)
    shutil.rmtree(os.path.join(ETC_NETNS, namespace), ignore_errors=True)


def _remove_etc_netns_if_empty():
    try:
        os.rmdir(ETC_NETNS)
    except OSError:
        pass


def sweep_stale():
    """Removes namespaces, /etc/netns folders and temporary folders left by runs of this
    module whose process no longer exists (a run killed with SIGKILL cannot clean up)."""
    removed = []
    names = set(_netns_names())
    if os.path.isdir(ETC_NETNS):
        names.update(os.listdir(ETC_NETNS))
    for name in sorted(names):
        match = _NAME_RE.match(name)
        if match and not _pid_alive(int(match.group(1))):
            _remove_namespace(name)
            removed.append(name)
    temp_root = tempfile.gettempdir()
    for name in os.listdir(temp_root):
        match = _TEMP_RE.match(name)
        if match and not _pid_alive(int(match.group(1))):
            shutil.rmtree(os.path.join(temp_root, name), ignore_errors=True)
            removed.append(os.path.join(temp_root, name))
    _remove_etc_netns_if_empty()
    return removed


def _close_all_live():
    for lan in list(_live_lans):
        lan.close()


def _on_signal(signum, _frame):
    global _pending_signal
    signal.alarm(0)
    if _closing:
        _pending_signal = signum
        return
    _exit_after_cleanup(signum)


def _exit_after_cleanup(signum):
    # A SystemExit would be caught by unittest and the run would go on; end here instead.
    _close_all_live()
    sys.stdout.flush()
    sys.stderr.write(f"netlan: ended by signal {signum}; virtual LAN removed\n")
    sys.stderr.flush()
    os._exit(128 + signum)


def _install_handlers():
    global _handlers_installed
    if _handlers_installed or threading.current_thread() is not threading.main_thread():
        return
    for signum in _HANDLED_SIGNALS:
        if signal.getsignal(signum) in (signal.SIG_DFL, signal.default_int_handler):
            signal.signal(signum, _on_signal)
    atexit.register(_close_all_live)
    _handlers_installed = True


class HostProcess:
    """A long-running process on a virtual host, with line-wise access to its stdout."""

    def __init__(self, host, argv, popen, stderr_path):
        self.host = host
        self.argv = list(argv)
        self._popen = popen
        self._stderr_path = stderr_path
        self._queue = queue.Queue()
        self.lines = []  # every stdout line read so far, without line ends
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()

    @property
    def pid(self):
        return self._popen.pid

    @property
    def returncode(self):
        return self._popen.poll()

    def _read_stdout(self):
        for line in self._popen.stdout:
            self._queue.put(line.rstrip("\r\n"))
        self._queue.put(None)

    def read_line(self, timeout):
        """The next stdout line, or None at end of output; raises TimeoutError."""
        try:
            line = self._queue.get(timeout=timeout)
        except queue.Empty:
            raise TimeoutError(f"{self.host.name}: no output from {self.argv} "
                               f"within {timeout} s; so far: {self.lines}") from None
        if line is None:
            self._queue.put(None)  # later readers see the end as well
            return None
        self.lines.append(line)
        return line

    def wait_for_line(self, pattern, timeout):
        """Reads lines until one matches `pattern` (regular expression, searched) and returns
        it; raises TimeoutError when none comes in time and NetLanError at end of output."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        while True:
            line = self.read_line(max(0.0, deadline - time.monotonic()))
            if line is None:
                raise NetLanError(f"{self.host.name}: {self.argv} ended (code "
                                  f"{self.wait(5)}) before a line matching {pattern!r}; "
                                  f"output: {self.lines}; stderr: {self.stderr_text()}")
            if regex.search(line):
                return line

    def read_all(self, timeout):
        """Reads to the end of output (the process closing stdout) and returns all lines."""
        deadline = time.monotonic() + timeout
        while self.read_line(max(0.0, deadline - time.monotonic())) is not None:
            pass
        return list(self.lines)

    def send_line(self, text):
        self._popen.stdin.write(text + "\n")
        self._popen.stdin.flush()

    def close_stdin(self):
        if self._popen.stdin and not self._popen.stdin.closed:
            self._popen.stdin.close()

    def send_signal(self, signum):
        """Signals the process by its PID (only while it has not been reaped, so the PID is
        still this process's)."""
        if self._popen.poll() is None:
            os.kill(self._popen.pid, signum)

    def wait(self, timeout):
        return self._popen.wait(timeout=timeout)

    def stderr_text(self):
        try:
            with open(self._stderr_path, encoding="utf-8", errors="backslashreplace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self, timeout=5):
        """SIGTERM to the process group, then SIGKILL when it has not ended in time."""
        if self._popen.poll() is None:
            try:
                os.killpg(self._popen.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self._popen.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(self._popen.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self._popen.wait(timeout=timeout)
        self.close_stdin()
        self._reader.join(timeout=timeout)
        if not self._reader.is_alive():
            self._popen.stdout.close()
        return self._popen.returncode


class VirtualHost:
    """One virtual host: namespace, address, host name and private per-user folders."""

    def __init__(self, lan, index, links=None):
        self.lan = lan
        self.index = index
        self.name = f"{lan.host_prefix}{index}"
        # One (subnet, address) per link eth0, eth1, ...; a link given as (subnet, octet)
        # takes that last octet instead of 10 + index.
        self.links = []
        for link in links or [SUBNET]:
            subnet, octet = link if isinstance(link, tuple) else (link, 10 + index)
            self.links.append((subnet, f"{subnet}.{octet}"))
        self.interfaces = [f"eth{k}" for k in range(len(self.links))]
        self.addresses = [address for _, address in self.links]
        self.address = self.addresses[0]
        self.namespace = f"{lan.tag}h{index}"
        self.interface = "eth0"
        self.root = os.path.join(lan.temp_dir, self.name)
        self.home = os.path.join(self.root, "home")
        folders = {
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "XDG_CACHE_HOME": os.path.join(self.root, "cache"),
            "XDG_STATE_HOME": os.path.join(self.root, "state"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "TMPDIR": os.path.join(self.root, "tmp"),
        }
        self.folders = folders
        self.run_user = os.path.join(self.root, "run-user")  # the host's /run/user
        self.env = dict(os.environ)
        self.env.update(folders)
        self.env.update({"HOSTNAME": self.name, "NETLAN_HOST": self.name,
                         "NETLAN_ADDRESS": self.address})

    def set_link(self, interface, up, timeout=10):
        """Takes one of the host's links down or up; up waits for its carrier."""
        _ip("-n", self.namespace, "link", "set", interface, "up" if up else "down")
        if up:
            port = self.bridge_port(self.interfaces.index(interface))
            bridge_ns = self.lan.bridge_namespace
            self.lan._wait_until_up([(self.namespace, interface), (bridge_ns, port),
                                     (bridge_ns, self.lan._bridge_of[port])], timeout)

    def bridge_port(self, k):
        """The bridge-side name of link k (eth<k>)."""
        return f"vh{self.index}" if k == 0 else f"vh{self.index}l{k}"

    def _make_folders(self):
        os.makedirs(self.root, mode=0o700)
        os.makedirs(self.run_user, mode=0o755)
        os.chmod(self.run_user, 0o755)
        for path in self.folders.values():
            os.makedirs(path, mode=0o700)
            os.chmod(path, 0o700)  # whatever the umask says

    def command(self, argv):
        """The full command line that runs `argv` inside this host."""
        # /run/user is the host's own (empty at first, as on a machine without a logind
        # session): stations keep their instance lock there when /run/user/<uid> exists.
        return ["ip", "netns", "exec", self.namespace, "unshare", "--uts", "sh", "-c",
                'hostname "$0" && { [ ! -d /run/user ] || mount --bind "$1" /run/user; } && '
                'shift && exec "$@"', self.name, self.run_user, *argv]

    def _environment(self, env):
        merged = dict(self.env)
        if env:
            merged.update(env)
        return merged

    def run(self, argv, timeout=30, input=None, env=None, check=False, cwd=None):
        """Runs `argv` on this host to completion; returns a CompletedProcess with text
        stdout/stderr. On timeout the process group is killed and TimeoutExpired raised."""
        popen = subprocess.Popen(self.command(argv), stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                 errors="backslashreplace", env=self._environment(env),
                                 cwd=cwd or self.home, start_new_session=True)
        try:
            out, err = popen.communicate(input=input, timeout=timeout)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(popen.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            out, err = popen.communicate()
            raise subprocess.TimeoutExpired(argv, timeout, output=out, stderr=err) from None
        result = subprocess.CompletedProcess(argv, popen.returncode, out, err)
        if check and result.returncode != 0:
            raise NetLanError(f"{self.name}: {argv} exited with {result.returncode}; "
                              f"stdout: {out!r}; stderr: {err!r}")
        return result

    def spawn(self, argv, env=None, cwd=None, encoding="utf-8"):
        """Starts `argv` on this host with pipes for stdin and stdout (stderr goes to a file,
        see HostProcess.stderr_text). The process is stopped when the LAN closes."""
        stderr_path = os.path.join(self.root, f"stderr-{len(self.lan.processes)}.txt")
        with open(stderr_path, "wb") as stderr:
            popen = subprocess.Popen(self.command(argv), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=stderr, text=True,
                                     encoding=encoding, errors="backslashreplace",
                                     bufsize=1, env=self._environment(env),
                                     cwd=cwd or self.home, start_new_session=True)
        process = HostProcess(self, argv, popen, stderr_path)
        self.lan.processes.append(process)
        return process


class VirtualLan:
    """K virtual hosts on one bridge. Use as a context manager; close() is idempotent."""

    def __init__(self, hosts=3, host_prefix="plh", link_timeout=10, links=None, routers=(),
                 default_route=None, down=None):
        """`links`: host index -> list of subnets ("10.213.78", or (subnet, last octet)) for
        eth0, eth1, ...; hosts not named have one link on 10.213.77. `routers`: lists of
        subnets, one router each. `default_route`: host index -> link number (default 0).
        `down`: host index -> interfaces left down at the start (see VirtualHost.set_link)."""
        global _sequence
        if not 1 <= hosts <= 200:
            raise ValueError("hosts must be between 1 and 200")
        self.links = dict(links or {})
        self.routers = [list(r) for r in routers]
        self.default_route = dict(default_route or {})
        self.down = {i: set(names) for i, names in (down or {}).items()}
        _sequence += 1
        self.tag = f"{_NAME_PREFIX}{os.getpid()}x{_sequence}"
        self.host_prefix = host_prefix
        self.bridge_namespace = f"{self.tag}br"
        self.host_count = hosts
        self.link_timeout = link_timeout
        self.temp_dir = None
        self.hosts = []
        self.processes = []
        self._namespaces = []  # created, in creation order
        self._started = False
        self._closed = False

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def host(self, index):
        """Host `index`, counted from 1 like the host names."""
        return self.hosts[index - 1]

    def start(self):
        if self._started:
            return
        self._started = True
        _install_handlers()
        sweep_stale()
        _live_lans.append(self)
        try:
            self._build()
        except BaseException:
            self.close()
            raise

    def _add_namespace(self, name):
        _ip("netns", "add", name)
        self._namespaces.append(name)

    def _bridge_for(self, subnet, bridges):
        # The default subnet keeps the bridge name br0 of the single-LAN harness.
        if subnet not in bridges:
            name = "br0" if subnet == SUBNET else f"br{len(bridges) + 1}"
            _ip("-n", self.bridge_namespace, "link", "add", name, "type", "bridge")
            _ip("-n", self.bridge_namespace, "link", "set", name, "up")
            bridges[subnet] = name
        return bridges[subnet]

    def _attach(self, namespace, interface, port, bridge):
        # Created inside the bridge namespace with its peer put straight into the host:
        # no link of ours ever shows up in the main namespace.
        _ip("-n", self.bridge_namespace, "link", "add", port, "type", "veth", "peer", "name",
            interface, "netns", namespace)
        _ip("-n", self.bridge_namespace, "link", "set", port, "master", bridge)
        _ip("-n", self.bridge_namespace, "link", "set", port, "up")
        self._bridge_of[port] = bridge

    def _build(self):
        self.temp_dir = tempfile.mkdtemp(prefix=f"{_NAME_PREFIX}-{os.getpid()}-")
        self.hosts = [VirtualHost(self, i, self.links.get(i))
                      for i in range(1, self.host_count + 1)]
        for host in self.hosts:
            host._make_folders()

        bridge = self.bridge_namespace
        self._add_namespace(bridge)
        bridges = {}
        self._bridge_of = {}  # bridge port -> bridge
        self._bridge_for(SUBNET, bridges)
        self.router_namespaces = []
        gateways = {}  # subnet -> the address of a router on it
        for r, subnets in enumerate(self.routers, start=1):
            ns = f"{self.tag}r{r}"
            self._add_namespace(ns)
            self.router_namespaces.append(ns)
            _ip("-n", ns, "link", "set", "lo", "up")
            for k, subnet in enumerate(subnets):
                self._attach(ns, f"eth{k}", f"vr{r}l{k}", self._bridge_for(subnet, bridges))
                _ip("-n", ns, "addr", "add", f"{subnet}.1/{PREFIX_LENGTH}", "brd",
                    f"{subnet}.255", "dev", f"eth{k}")
                _ip("-n", ns, "link", "set", f"eth{k}", "up")
                gateways.setdefault(subnet, f"{subnet}.1")
            subprocess.run(["ip", "netns", "exec", ns, "sysctl", "-qw",
                            "net.ipv4.ip_forward=1"], check=True, timeout=20,
                           stdout=subprocess.DEVNULL)
        for host in self.hosts:
            self._add_namespace(host.namespace)
            ns = host.namespace
            _ip("-n", ns, "link", "set", "lo", "up")
            for k, (subnet, address) in enumerate(host.links):
                interface = host.interfaces[k]
                port = host.bridge_port(k)
                self._attach(ns, interface, port, self._bridge_for(subnet, bridges))
                _ip("-n", ns, "addr", "add", f"{address}/{PREFIX_LENGTH}",
                    "brd", f"{subnet}.255", "dev", interface)
                if interface not in self.down.get(host.index, ()):
                    _ip("-n", ns, "link", "set", interface, "up")
            # The limited broadcast 255.255.255.255 is routed like any other address.
            k = self.default_route.get(host.index, 0)
            subnet, interface = host.links[k][0], host.interfaces[k]
            if interface in self.down.get(host.index, ()):
                pass  # no route through a link that is down: a host started offline
            elif subnet in gateways:
                _ip("-n", ns, "route", "add", "default", "via", gateways[subnet], "dev",
                    interface, "onlink")
            else:
                _ip("-n", ns, "route", "add", "default", "dev", interface)
            self._write_etc(host)
        self._wait_for_links()

    def _write_etc(self, host):
        folder = os.path.join(ETC_NETNS, host.namespace)
        for _ in range(5):  # another run may remove an empty /etc/netns under our feet
            try:
                os.makedirs(folder, mode=0o755, exist_ok=True)
                break
            except FileNotFoundError:
                continue
        lines = ["127.0.0.1\tlocalhost", "::1\tlocalhost ip6-localhost ip6-loopback"]
        lines += [f"{h.address}\t{h.name}" for h in self.hosts]
        with open(os.path.join(folder, "hosts"), "w") as f:
            f.write("\n".join(lines) + "\n")
        # Empty: no name server is ever asked from inside.
        open(os.path.join(folder, "resolv.conf"), "w").close()
        if os.path.exists("/etc/nsswitch.conf"):
            with open("/etc/nsswitch.conf") as f:
                original = f.read().splitlines()
            kept = [l for l in original if not re.match(r"\s*hosts\s*:", l)]
            with open(os.path.join(folder, "nsswitch.conf"), "w") as f:
                f.write("\n".join(kept + ["hosts: files"]) + "\n")

    def _link_states(self, namespace):
        out = _ip("-j", "-n", namespace, "link", "show").stdout
        return {link["ifname"]: link.get("operstate", "") for link in json.loads(out)}

    def _wait_for_links(self):
        # Poll for the carrier of every link: a datagram sent before it is up is lost.
        links = [(ns, None) for ns in getattr(self, "router_namespaces", [])]
        waiting = set(self._bridge_of)
        for host in self.hosts:
            for k, name in enumerate(host.interfaces):
                if name in self.down.get(host.index, ()):
                    # Its bridge port stays without carrier until the host's side comes up.
                    waiting.discard(host.bridge_port(k))
                else:
                    links.append((host.namespace, name))
        # A bridge has a carrier once one of its ports has.
        waiting |= {self._bridge_of[p] for p in waiting}
        links += [(self.bridge_namespace, n) for n in sorted(waiting)]
        self._wait_until_up(links, self.link_timeout)

    def _wait_until_up(self, links, timeout):
        """Waits until every (namespace, interface) is UP; interface None: all but lo."""
        deadline = time.monotonic() + timeout
        while True:
            pending = []
            states = {}
            for namespace, name in links:
                if namespace not in states:
                    states[namespace] = self._link_states(namespace)
                if name is None:
                    pending += [f"{namespace}:{n}" for n, s in states[namespace].items()
                                if n != "lo" and s != "UP"]
                elif states[namespace].get(name) != "UP":
                    pending.append(f"{namespace}:{name}")
            if not pending:
                return
            if time.monotonic() > deadline:
                raise NetLanError(f"links not up within {timeout} s: {pending}")
            time.sleep(0.01)

    def close(self):
        """Stops every process started on the hosts and removes namespaces, links, the
        /etc/netns folders and the temporary folders. Safe to call more than once."""
        global _closing, _pending_signal
        if self._closed:
            return
        # A signal arriving now is taken after the cleanup, not in the middle of it.
        _closing += 1
        try:
            for process in self.processes:
                try:
                    process.stop(timeout=3)
                except Exception:
                    pass
            for namespace in reversed(self._namespaces):
                _remove_namespace(namespace)
            self._namespaces = []
            _remove_etc_netns_if_empty()
            if self.temp_dir:
                shutil.rmtree(self.temp_dir, ignore_errors=True)
            self._closed = True
            if self in _live_lans:
                _live_lans.remove(self)
        finally:
            _closing -= 1
        if not _closing and _pending_signal is not None:
            signum, _pending_signal = _pending_signal, None
            _exit_after_cleanup(signum)

    def leftovers(self):
        """What of this LAN still exists in the system (empty after close())."""
        found = [n for n in _netns_names() if n.startswith(self.tag)]
        if os.path.isdir(ETC_NETNS):
            found += [os.path.join(ETC_NETNS, n) for n in os.listdir(ETC_NETNS)
                      if n.startswith(self.tag)]
        if self.temp_dir and os.path.exists(self.temp_dir):
            found.append(self.temp_dir)
        found += [f"pid {p.pid}" for p in self.processes if _pid_alive(p.pid)
                  and p.returncode is None]
        return found


def _main(argv):
    import argparse
    parser = argparse.ArgumentParser(description="Virtual LAN harness")
    sub = parser.add_subparsers(dest="action", required=True)
    sub.add_parser("sweep", help="remove what runs killed with SIGKILL left behind")
    show = sub.add_parser("show", help="build a LAN, show each host's view, remove it")
    show.add_argument("--hosts", type=int, default=3)
    args = parser.parse_args(argv)
    skip_unless_root("the virtual LAN")
    if args.action == "sweep":
        for item in sweep_stale():
            print("removed", item)
        return 0
    with VirtualLan(hosts=args.hosts) as lan:
        for host in lan.hosts:
            result = host.run(["sh", "-c", "hostname; ip -br addr; ip route; "
                               "getent hosts $(hostname)"], timeout=10)
            print(f"== {host.name} ({host.namespace})\n{result.stdout}{result.stderr}")
    return 0


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
