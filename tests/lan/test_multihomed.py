#!/usr/bin/python3
"""A multi-homed station: plh1 has links into LAN A (10.213.77, twice: eth0 and eth3), LAN B
(10.213.78, eth1, down at the start like a Wi-Fi that comes up later) and an uplink C
(10.213.79) that carries its default route, to a router that also serves subnet D
(10.213.76). Stations: plh2 on A, plh3 on B, plh4 on D; probes (plain receivers that count
every copy on the wire) plh5 on A and plh6 on B.

plh1 and plh4 name each other in "BroadcastAddresses", so they chat across the router.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

STATION = PROBE = None
STEP = 15
PORT = "45"
A, B, C, D = "10.213.77", "10.213.78", "10.213.79", "10.213.76"


def write_settings(host, lines):
    conf = os.path.join(host.env["XDG_CONFIG_HOME"], "Quillmark", "palaverly.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


class MultiHomed(unittest.TestCase):
    def roster(self, station):
        start = len(station.lines)
        station.send_line("roster")
        station.wait_for_line("^END$", timeout=STEP)
        return {l.split("\t")[3]: l.split("\t")[1:] for l in station.lines[start:]
                if l.startswith("MEMBER\t")}

    def wait_in_roster(self, station, *names):
        for _ in range(STEP * 4):
            if set(names) <= set(self.roster(station)):
                return
            station.wait_for_line("^MEMBERS\t", timeout=STEP)
        self.fail(f"{names} never in the roster")

    def log_rows(self, station, text):
        start = len(station.lines)
        station.send_line("log")
        station.wait_for_line("^END$", timeout=STEP)
        return [l for l in station.lines[start:] if l.startswith("ROW\t") and text in l]

    @staticmethod
    def drain(probe, quiet=0.5):
        """Reads what the probe has printed until it is quiet for `quiet` seconds."""
        try:
            while probe.read_line(quiet) is not None:
                pass
        except TimeoutError:
            pass

    @staticmethod
    def read_past(probe, first, then):
        """Reads lines until one containing `then` comes after one containing `first`."""
        seen = any(first in l for l in probe.lines)
        while True:
            line = probe.read_line(STEP)
            if line is None:
                raise AssertionError(f"{probe.host.name}: probe ended: {probe.lines}")
            if first in line:
                seen = True
            elif seen and then in line:
                return

    def test_multihomed_station(self):
        netlan.arm_deadline(55)
        with netlan.VirtualLan(
                hosts=6,
                links={1: [A, B, C, (A, 21)], 2: [A], 3: [B], 4: [D], 5: [A], 6: [B]},
                routers=[[C, D]], default_route={1: 2}, down={1: ["eth1"]}) as lan:
            multi, on_a, on_b, on_d = (lan.host(i) for i in (1, 2, 3, 4))
            probes = {}
            for i, name in ((5, "A"), (6, "B")):
                probes[name] = lan.host(i).spawn([PROBE, "listen", PORT, "50"])
                probes[name].wait_for_line("^READY", timeout=STEP)
            write_settings(multi, ["HandleName=Multi",
                                   f"BroadcastAddresses={D}.14, bogus 10.1.2"])
            write_settings(on_d, ["HandleName=Dee", f"BroadcastAddresses={C}.11"])
            stations = {}
            for host in (on_a, on_b, on_d, multi):
                stations[host.index] = host.spawn([STATION, PORT])
                stations[host.index].wait_for_line("^READY$", timeout=STEP)
            m = stations[1]

            # A bad entry is reported once, with the station's error caption.
            notices = [l for l in m.lines if l.startswith("NOTICE\t")]
            self.assertEqual(notices, ['NOTICE\tmsg\tBroadcastAddresses: not an IPv4 address: '
                                       '"bogus" "10.1.2"'])

            # Start-up roll call: LAN A and, through the router, plh4; not yet LAN B.
            self.wait_in_roster(stations[2], "plh1")
            self.wait_in_roster(stations[4], "plh1")
            self.wait_in_roster(m, "plh4")
            row = self.roster(stations[2])["plh1"]
            # The StationId is the address the host name stands for, on LAN A.
            self.assertEqual(row[3], " 10.213. 77. 11")
            # plh1's own INFO answer carries its StationId; LAN B has not heard it.
            self.drain(probes["B"])
            self.assertFalse([l for l in probes["B"].lines if "010213077011" in l],
                             probes["B"].lines)

            # The Wi-Fi comes up: the next roll call reaches LAN B as well.
            multi.set_link("eth1", True)
            m.send_line("refresh")
            self.wait_in_roster(stations[3], "plh1")
            self.wait_in_roster(m, "plh1", "plh2", "plh3", "plh4")

            # One message to the stations of both LANs: one row each, one copy per LAN.
            m.send_line("unmark-all")
            m.send_line("mark plh2")
            m.send_line("mark plh3")
            m.send_line("send hello both LANs")
            for i in (2, 3):
                stations[i].wait_for_line("^LOG\t.*hello both LANs$", timeout=STEP)
                self.assertEqual(len(self.log_rows(stations[i], "hello both LANs")), 1)
            # plh1's INFO after a roll call marks the end of what the probes can have received.
            m.send_line("refresh")
            for name, probe in probes.items():
                self.read_past(probe, "hello both LANs", "DATAGRAM INFO 010213077011")
                copies = [l for l in probe.lines if l.startswith("DATAGRAM SENDM plh1")
                          and l.endswith("hello both LANs")]
                self.assertEqual(len(copies), 2, f"LAN {name}: {probe.lines}")
            self.assertEqual(len(self.log_rows(m, "hello both LANs")), 2)

            # The station beyond the router gets its message through the extra destination.
            m.send_line("unmark-all")
            m.send_line("mark plh4")
            m.send_line("send across the router")
            stations[4].wait_for_line("^LOG\t.*across the router$", timeout=STEP)
            self.assertEqual(len(self.log_rows(stations[4], "across the router")), 1)
            for i in (2, 3):
                self.assertEqual(self.log_rows(stations[i], "across the router"), [])
        self.assertEqual(lan.leftovers(), [])


if __name__ == "__main__":
    netlan.test_main(globals(), "the multi-homed station test", ["station", "probe"])
