#!/usr/bin/python3
"""Headless stations end to end on a virtual LAN.

Four palaverlyd stations share port 8041 on hosts plh1..plh4, a fifth runs on 8042 on plh5;
plh6 starts one of its own with a name server that never answers.
Each step waits for the lines that prove the previous one happened; timeouts only bound a
failing run.
"""

import os
import pathlib
import re
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

STATION = None
STEP = 15
CHECK_SECONDS = 4  # a station's own INFO is checked for 3 s after its roll call
HANDLES = {1: "太郎", 2: "Hanako", 3: "ｼﾞﾛｰ", 4: "Dora", 5: "Eiko"}


def log_file_name():
    t = time.localtime()
    return "CHAT%2d%02d%02d.LOG" % (t.tm_year - 1900, t.tm_mon, t.tm_mday)


class HeadlessStations(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lan = netlan.VirtualLan(hosts=6)
        cls.lan.start()
        cls.stations = {}
        for i in range(1, 6):
            host = cls.lan.host(i)
            settings = [f"HandleName={HANDLES[i]}", "Flg LogOutput=1"]
            if i == 2:
                settings += ["Flg ChatServer=1", "Info Msg99=お知らせです"]
            conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
            os.makedirs(os.path.dirname(conf), exist_ok=True)
            with open(conf, "w", encoding="utf-8") as f:
                f.write("\n".join(settings) + "\n")
            station = host.spawn([STATION, "42" if i == 5 else "41"])
            station.wait_for_line("^READY$", timeout=STEP)
            cls.stations[i] = station
        # The last roll call reaches everyone: each of plh1..plh4 lists four members.
        for i in range(1, 5):
            cls.wait_members(cls.stations[i], 4)

    @classmethod
    def tearDownClass(cls):
        cls.lan.close()
        leftovers = cls.lan.leftovers()
        if leftovers:
            raise AssertionError(f"left behind: {leftovers}")

    @staticmethod
    def wait_members(station, count):
        if f"MEMBERS\t{count}" in station.lines[-50:]:
            return
        station.wait_for_line(f"^MEMBERS\t{count}$", timeout=STEP)

    def command(self, i, text):
        self.stations[i].send_line(text)

    def roster(self, i):
        station = self.stations[i]
        start = len(station.lines)
        station.send_line("roster")
        station.wait_for_line("^END$", timeout=STEP)
        rows = [l.split("\t")[1:] for l in station.lines[start:] if l.startswith("MEMBER\t")]
        return rows

    def new_lines(self, i, start, prefix):
        return [l for l in self.stations[i].lines[start:] if l.startswith(prefix)]

    def test_1_roll_call_fills_every_roster(self):
        for i in range(1, 5):
            rows = self.roster(i)
            self.assertEqual(sorted(r[2] for r in rows), ["plh1", "plh2", "plh3", "plh4"])
            by_name = {r[2]: r for r in rows}
            self.assertEqual(by_name["plh1"][0], "太郎")
            self.assertEqual(by_name["plh3"][0], "ｼﾞﾛｰ")
            self.assertEqual(by_name["plh2"][3], " 10.213. 77. 12")
            self.assertEqual(by_name["plh2"][4], "060R-003")
            self.assertEqual(by_name["plh2"][6], "Not support")

    def test_2_sendm_reaches_marked_stations_only(self):
        marks = {i: len(self.stations[i].lines) for i in range(1, 6)}
        self.command(1, "unmark-all")
        self.command(1, "mark plh2")
        self.command(1, "mark plh3")
        self.command(1, "send 会議は３時から")
        sender = self.stations[1]
        for _ in range(2):
            sender.wait_for_line("^LOG\t", timeout=STEP)
        for i in (2, 3):
            self.stations[i].wait_for_line("^LOG\t", timeout=STEP)
        own = self.new_lines(1, marks[1], "LOG\t")
        self.assertEqual([l.split("\t")[1] for l in own], ["Hanako", "ｼﾞﾛｰ"])
        for line in own:
            _, receiver, who, at, kind, content = line.split("\t")
            self.assertEqual((who, kind, content), ("太郎", "同報", "会議は３時から"))
            self.assertRegex(at, r"^[ 12]\d:\d\d$")
        for i in (2, 3):
            got = self.new_lines(i, marks[i], "LOG\t")
            self.assertEqual(len(got), 1)
            self.assertEqual(got[0].split("\t")[1], HANDLES[i])
        # The bystander sees nothing: the line after its `log` command is END at once.
        start = len(self.stations[4].lines)
        self.command(4, "log")
        self.stations[4].wait_for_line("^END$", timeout=STEP)
        self.assertEqual(self.new_lines(4, start, "ROW\t"), [])
        # The daily log files hold the same rows, Shift-JIS with CR LF.
        expected = "会議は３時から".encode("cp932")
        for i, count in ((1, 2), (2, 1), (3, 1), (4, 0)):
            path = os.path.join(self.lan.host(i).env["XDG_DATA_HOME"], "palaverly",
                                log_file_name())
            data = b""
            if os.path.exists(path):
                with open(path, "rb") as f:
                    data = f.read()
            lines = [l for l in data.split(b"\r\n") if expected in l]
            self.assertEqual(len(lines), count, f"plh{i}: {data!r}")
            for l in lines:
                self.assertRegex(l, rb"^[ 12]\d:\d\d'\d\d\t.*\t\x91\xbe\x98Y\t\x93\xaf\x95\xf1\t")
            if count:
                self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)

    def test_2b_search_goes_over_every_day_newest_first(self):
        # Older days planted beside today's file (which test_2 filled), and two files that are
        # not daily logs. "ソ" and "連" carry the trail bytes 0x5C ("\\") and 0x41 ("A").
        folder = os.path.join(self.lan.host(2).env["XDG_DATA_HOME"], "palaverly")
        planted = {
            "CHAT1200103.LOG": " 9:15'30\tHanako\t太郎\t個人\t会議室はソファの部屋\r\n"
                               "12:01'00\tHanako\tEiko\t個人\tLUNCH?\r\n",
            "CHAT1200102.LOG": " 8:00'00\tHanako\tEiko\t同報\t会議の連絡 C:\\temp\r\n"
                               " 8:30'00\tHanako\tDora\t個人\tlunch at noon\r\n",
            "CHAT1200104.LOG.bak": " 9:00'00\tHanako\tEiko\t個人\t会議 lunch\r\n",
            "notes.txt": "会議 lunch\r\n",
        }
        for name, text in planted.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(text.encode("cp932"))

        def search(text):
            station = self.stations[2]
            start = len(station.lines)
            self.command(2, "search " + text)
            station.wait_for_line("^END\t", timeout=STEP)
            answer = station.lines[start:]
            end = next(l for l in answer if l.startswith("END\t"))
            found = [l.split("\t")[1:] for l in answer if l.startswith("FOUND\t")]
            self.assertEqual(end, f"END\t{len(found)}")
            return found

        found = search("会議")
        self.assertEqual([f[0] for f in found][1:], ["2020-01-03", "2020-01-02"])
        today = time.strftime("%Y-%m-%d")
        self.assertEqual(found[0][0], today)
        self.assertEqual(found[0][2:], ["Hanako", "太郎", "同報", "会議は３時から"])
        self.assertRegex(found[0][1], r"^[ 12]\d:\d\d'\d\d$")
        self.assertEqual(found[1][1:], [" 9:15'30", "Hanako", "太郎", "個人", "会議室はソファの部屋"])
        self.assertEqual([f[1] for f in search("Lunch")], ["12:01'00", " 8:30'00"])
        self.assertEqual([f[5] for f in search("\\")], ["会議の連絡 C:\\temp"])
        self.assertEqual(search("\\ファ"), [])
        self.assertEqual(search("A絡"), [])
        self.assertEqual(len(search("連絡")), 1)

    def test_3_silent_beep_sounds_at_both_ends_and_logs_nothing(self):
        marks = {i: len(self.stations[i].lines) for i in (1, 2)}
        self.command(1, "unmark-all")
        self.command(1, "mark plh2")
        self.command(1, "beep-silent")
        self.stations[1].wait_for_line("^BEEP$", timeout=STEP)
        self.stations[2].wait_for_line("^BEEP$", timeout=STEP)
        # A roster query afterwards proves the stations have gone past the alert.
        self.roster(1)
        self.roster(2)
        for i in (1, 2):
            self.assertEqual(self.new_lines(i, marks[i], "LOG\t"), [])

    def test_4_bulletin_reaches_the_tickers(self):
        for i in (1, 3, 4):
            station = self.stations[i]
            if not any("■Hanako放送：お知らせです" in l for l in station.lines if l.startswith("TICKER")):
                self.command(i, "fetch")
                station.wait_for_line("^TICKER\t.*■Hanako放送：お知らせです", timeout=STEP)

    def test_5_other_port_hears_nothing(self):
        # Its own INFO may still be on its way on a loaded machine: wait for that row, by then
        # the others' answers to its roll call would have come too.
        deadline = time.monotonic() + STEP
        rows = self.roster(5)
        while not rows and time.monotonic() < deadline:
            time.sleep(0.1)
            rows = self.roster(5)
        self.assertEqual([r[2] for r in rows], ["plh5"])
        self.assertFalse([l for l in self.stations[5].lines if l.startswith("LOG\t")])

    def test_6_second_station_for_the_same_user_exits_255(self):
        started = time.monotonic()
        result = self.lan.host(1).run([STATION, "41"], timeout=STEP, input="")
        self.assertEqual(result.returncode, 255)
        self.assertLess(time.monotonic() - started, STEP)
        self.assertEqual(result.stdout, "")

    def test_7_sigterm_signs_off(self):
        start = len(self.stations[1].lines)
        leaving = self.stations[4]
        leaving.send_signal(signal.SIGTERM)
        self.assertEqual(leaving.wait(STEP), 0)
        self.wait_members(self.stations[1], 3)
        self.assertNotIn("plh4", [r[2] for r in self.roster(1)])
        self.assertTrue(self.new_lines(1, start, "MEMBERS\t3"))
        conf = os.path.join(self.lan.host(4).env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
        with open(conf, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("HandleName=Dora", text)
        self.assertIn("Status=普通", text)

    def test_8_control_bytes_of_a_peer_never_reach_a_terminal_or_the_file(self):
        start = len(self.stations[2].lines)
        self.command(1, "unmark-all")
        self.command(1, "mark plh2")
        self.command(1, "send a\x1b[2Jb\x07c\x08d\x7fe\x1b]0;ｿ")
        self.stations[2].wait_for_line("^LOG\t", timeout=STEP)
        line = self.new_lines(2, start, "LOG\t")[0]
        self.assertEqual(line.split("\t")[5], r"a\x1b[2Jb\x07c\x08d\x7fe\x1b]0;ｿ")
        self.assertFalse(re.search(r"[\x00-\x08\x0b-\x1f\x7f]", line))
        path = os.path.join(self.lan.host(2).env["XDG_DATA_HOME"], "palaverly", log_file_name())
        with open(path, "rb") as f:
            self.assertIn(b"\ta [2Jb c d e ]0;\xbf\r\n", f.read())

    def test_9_a_silent_name_server_does_not_hold_the_start(self):
        # The own host name is left to a name server whose address leads nowhere: the frames
        # go onto the bridge to a MAC that no host has, and no answer ever comes.
        host = self.lan.host(6)
        folder = os.path.join(netlan.ETC_NETNS, host.namespace)
        with open(os.path.join(folder, "resolv.conf"), "w") as f:
            f.write("nameserver 10.213.77.250\noptions timeout:5 attempts:2\n")
        with open(os.path.join(folder, "nsswitch.conf"), "w") as f:
            f.write("hosts: files dns\n")
        with open(os.path.join(folder, "hosts"), "w") as f:
            f.write("127.0.0.1 localhost\n")
        host.run(["ip", "neigh", "replace", "10.213.77.250", "lladdr", "02:00:5e:00:00:fa",
                  "dev", "eth0", "nud", "permanent"], check=True)
        started = time.monotonic()
        station = host.spawn([STATION, "43"])
        station.wait_for_line("^READY$", timeout=STEP)
        # Bounded by the one second the look-up may take, far below the resolver's own 10 s.
        self.assertLess(time.monotonic() - started, 5)
        self.wait_members(station, 1)
        start = len(station.lines)
        station.send_line("roster")
        station.wait_for_line("^END$", timeout=STEP)
        rows = [l.split("\t") for l in station.lines[start:] if l.startswith("MEMBER\t")]
        self.assertEqual([(r[3], r[4]) for r in rows], [("plh6", " 10.213. 77. 16")])

    def send_to(self, host, text):
        for line in ("unmark-all", f"mark {host}", f"send {text}"):
            self.command(1, line)

    def test_8_log_opens_only_a_regular_file_of_its_own(self):
        station, home = self.stations[3], self.lan.host(3).home
        path = os.path.join(self.lan.host(3).env["XDG_DATA_HOME"], "palaverly", log_file_name())
        profile = pathlib.Path(home, ".profile")
        profile.write_text("# start-up\n")
        # Another user's link, FIFO or file as the log: rows shown, nothing written, no hang.
        plants = (lambda: os.symlink(profile, path), lambda: os.mkfifo(path),
                  lambda: (open(path, "w").close(), os.chown(path, 65534, 65534)))
        for i, plant in enumerate(plants):
            os.remove(path)
            plant()
            self.send_to("plh3", f"';touch pwned;# {i}")
            station.wait_for_line(f"^LOG\t.*# {i}$", timeout=STEP)
            self.command(3, "reload")
        self.assertEqual(profile.read_text(), "# start-up\n")
        self.assertEqual(os.path.getsize(path), 0)
        [notice] = [l for l in station.lines if l.startswith("NOTICE\t")]  # once per run
        self.assertRegex(notice, f"{re.escape(path)}.*シンボリックリンク")
        self.command(3, "quit")
        self.assertEqual(station.wait(STEP), 0)

    def test_9_log_keeps_five_percent_free(self):
        # A new plh4 station logs to a 1 MiB tmpfs of its own mount namespace, filled up to 14
        # free blocks of 256: one row takes a block, a second would leave less than 5 %.
        logs = os.path.join(self.lan.host(4).env["XDG_DATA_HOME"], "palaverly")
        station = self.stations[4] = self.lan.host(4).spawn(
            ["sh", "-c", 'mount -t tmpfs -o size=1m tmpfs "$0" && exec "$@"', logs, STATION, "41"])
        self.wait_members(station, 3)
        inside = f"/proc/{station.pid}/root{logs}"
        with open(f"{inside}/fill", "wb") as f:
            f.write(bytes((os.statvfs(inside).f_bavail - 14) * 4096))
        for text in ("一通目", "二通目", "三通目"):
            if text == "三通目":
                os.remove(f"{inside}/fill")
            self.send_to("plh4", text)
            station.wait_for_line(f"^LOG\t.*{text}$", timeout=STEP)
        [notice] = [l for l in station.lines if l.startswith("NOTICE\t")]  # once per run
        self.assertIn("5%", notice)
        rows = pathlib.Path(inside, log_file_name()).read_bytes().decode("cp932").splitlines()
        self.assertEqual([r.split("\t")[-1] for r in rows], ["一通目", "三通目"])


class Reach(unittest.TestCase):
    """On port 8043: a bulletin server run as a service (standard input /dev/null) on plh1, a
    host whose firewall drops the port on plh2, and on plh3 a host whose link comes up after
    its station has started."""

    @classmethod
    def setUpClass(cls):
        cls.lan = netlan.VirtualLan(hosts=3, down={3: ["eth0"]})
        cls.lan.start()
        conf = os.path.join(cls.lan.host(1).env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
        os.makedirs(os.path.dirname(conf))
        with open(conf, "w", encoding="utf-8") as f:
            f.write("HandleName=Board\nFlg ChatServer=1\nInfo Msg99=掲示です\n")
        cls.server = cls.lan.host(1).spawn(["sh", "-c", 'exec "$0" --serve 43 </dev/null', STATION])
        cls.server.wait_for_line("^READY$", timeout=STEP)

    @classmethod
    def tearDownClass(cls):
        cls.lan.close()

    @staticmethod
    def watch(station, seconds):
        """Reads what `station` prints for `seconds`; it must keep running."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                if station.read_line(end - time.monotonic()) is None:
                    raise AssertionError(f"{station.argv} ended: {station.lines}")
            except TimeoutError:
                pass

    notices = staticmethod(lambda station: [l for l in station.lines if l[:7] == "NOTICE\t"])

    def test_1_blocked_port_is_named_once(self):
        host = self.lan.host(2)
        host.run(["nft", "-f", "-"], check=True, input="table inet block {\n chain input {\n"
                 "  type filter hook input priority 0; udp dport 8043 drop\n }\n}\n")
        started = time.monotonic()
        Reach.blocked = station = host.spawn([STATION, "43"])
        notice = station.wait_for_line("^NOTICE\t", timeout=STEP)
        self.assertLess(time.monotonic() - started, 5)
        self.assertRegex(notice, "^NOTICE\tmsg\tUDP ポート 8043 .* sudo nft insert rule inet "
                         "filter input udp dport 8043 accept$")
        host.run(["nft", "delete", "table", "inet", "block"], check=True)
        station.send_line("refresh")
        station.wait_for_line("^MEMBERS\t2$", timeout=STEP)
        self.watch(station, CHECK_SECONDS)  # past the check of that roll call
        self.assertEqual(len(self.notices(station)), 1)

    def test_2_link_that_comes_up_rolls_call(self):
        host = self.lan.host(3)
        late = host.spawn([STATION, "43"])
        late.wait_for_line("^READY$", timeout=STEP)
        host.set_link("eth0", True)
        up = time.monotonic()
        self.blocked.wait_for_line("^MEMBERS\t3$", timeout=STEP)
        self.assertLess(time.monotonic() - up, 5)
        # Started offline, it said nothing; its own row shows that it hears itself now.
        late.wait_for_line("^MEMBERS\t3$", timeout=STEP)
        self.watch(late, CHECK_SECONDS)
        self.assertEqual(self.notices(late), [])

    def test_3_service_serves_until_sigterm(self):
        self.watch(self.server, CHECK_SECONDS)
        self.blocked.send_line("fetch")
        self.blocked.wait_for_line("^TICKER\t.*■Board放送：掲示です", timeout=STEP)
        self.server.send_signal(signal.SIGTERM)
        self.assertEqual(self.server.wait(STEP), 0)
        self.blocked.wait_for_line("^MEMBERS\t2$", timeout=STEP)  # its BYE
        self.assertEqual(self.notices(self.server), [])


if __name__ == "__main__":
    netlan.test_main(globals(), "the headless-station LAN test", ["station"], deadline=170)
