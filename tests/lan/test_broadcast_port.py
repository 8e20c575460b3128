#!/usr/bin/python3
"""CBroadcastPort on a virtual LAN of three hosts, driven through lan_probe.

Every step waits for the previous one to show in the probes' output (READY before anything is
sent, a datagram seen everywhere before the next is sent), so no step relies on timing; the
timeouts only bound a failing run.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

PROBE = None
STEP = 10       # seconds for one expected line
LIFETIME = 30   # seconds a probe may live at most


def scramble(data):
    return bytes(b ^ ((i + 128) % 256) for i, b in enumerate(data))


def field(data, offset):
    return data[offset:].split(b"\0", 1)[0]


def datagrams(process):
    return [line for line in process.lines if line.startswith("DATAGRAM ")]


class BroadcastPortOnLan(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lan = netlan.VirtualLan(hosts=3)
        cls.lan.start()

    @classmethod
    def tearDownClass(cls):
        cls.lan.close()
        leftovers = cls.lan.leftovers()
        if leftovers:
            raise AssertionError(f"left behind: {leftovers}")

    def listen(self, host, n, count):
        probe = self.lan.host(host).spawn([PROBE, "listen", str(n), str(LIFETIME), str(count)])
        self.addCleanup(probe.stop)
        return probe

    def wire(self, host, port, count):
        probe = self.lan.host(host).spawn([PROBE, "wire", str(port), str(LIFETIME), str(count)])
        self.addCleanup(probe.stop)
        return probe

    def run_probe(self, host, *args):
        return self.lan.host(host).run([PROBE, *map(str, args)], timeout=STEP)

    def finish(self, probe):
        """Output of a probe that must end by itself with exit code 0."""
        lines = probe.read_all(STEP)
        self.assertEqual(probe.wait(STEP), 0, f"{lines}\n{probe.stderr_text()}")
        self.assertFalse([l for l in lines if l.startswith(("SINK", "ERROR", "REFUSED"))],
                         lines)
        return lines

    def test_two_hosts_exchange_and_another_port_hears_nothing(self):
        first = self.listen(1, 37, 2)
        second = self.listen(2, 37, 2)
        other = self.listen(3, 38, 1)
        wire = self.wire(3, 8037, 2)  # the same traffic, seen by a plain socket on host 3
        for probe, port in ((first, 8037), (second, 8037), (other, 8038), (wire, 8037)):
            self.assertEqual(probe.wait_for_line("^READY", STEP), f"READY {port}")

        hello = "DATAGRAM SEND plh1 hello from plh1"
        reply = "DATAGRAM SEND plh2 reply from plh2"
        first.send_line("send hello from plh1")
        for probe in (first, second):
            self.assertEqual(probe.wait_for_line("^DATAGRAM", STEP), hello)
        wire.wait_for_line("^WIRE", STEP)
        second.send_line("send reply from plh2")
        for probe in (first, second):
            self.assertEqual(probe.wait_for_line("^DATAGRAM", STEP), reply)
        wire.wait_for_line("^WIRE", STEP)

        # Both datagrams on 8037 have reached host 3 by now; only this one is for port 8038.
        sent = self.run_probe(1, "send", 38, "end of test")
        self.assertEqual((sent.returncode, sent.stdout), (0, "SENT\n"), sent.stderr)
        # It stops after one datagram: had it heard 8037, that would be the one.
        self.finish(other)
        self.assertEqual(datagrams(other), ["DATAGRAM SEND plh1 end of test"])

        for probe in (first, second):
            self.finish(probe)
            self.assertEqual(datagrams(probe), [hello, reply])
        self.assertIn("SENT", first.lines)
        self.assertIn("SENT", second.lines)

        # On the wire: 255 bytes, scrambled, header, sender and text at their offsets.
        raw = [bytes.fromhex(l.split()[2]) for l in self.finish(wire) if l.startswith("WIRE")]
        self.assertEqual([len(r) for r in raw], [255, 255])
        for data, sender, text in zip(raw, (b"plh1", b"plh2"),
                                      (b"hello from plh1", b"reply from plh2")):
            plain = scramble(data)
            self.assertTrue(plain[:18].isdigit(), plain[:23])
            self.assertEqual(plain[18:23], b"SEND\0")
            self.assertEqual(field(plain, 23), sender)
            self.assertEqual(field(plain, 55), text)
            self.assertEqual(plain[55 + len(text):], bytes(255 - 55 - len(text)))
            self.assertEqual(data[254], 0x7E)  # a zero byte scrambled at the last position

    def test_receive_port_taken_gives_bind_error_only_on_that_host(self):
        holder = self.listen(1, 39, 1)
        holder.wait_for_line("^READY", STEP)
        for host, taken in ((1, True), (2, False)):
            with self.subTest(host=host):
                result = self.run_probe(host, "listen", 39, STEP, 0)
                self.assertEqual(result.returncode, 0, result.stderr)
                lines = result.stdout.splitlines()
                if taken:
                    self.assertEqual(lines[:2], ["SINK msg: bind error", "BINDERROR"])
                else:
                    self.assertEqual(lines[0], "READY 8039")
                    self.assertNotIn("BINDERROR", lines)
        # The process that holds the port is not disturbed by the failed attempt.
        self.assertEqual(self.run_probe(2, "send", 39, "still here").returncode, 0)
        self.finish(holder)
        self.assertEqual(datagrams(holder), ["DATAGRAM SEND plh2 still here"])

    def test_datagram_of_another_length_is_reported_and_skipped(self):
        listener = self.listen(2, 40, 1)
        listener.wait_for_line("^READY", STEP)
        for length in (254, 256, 0):
            with self.subTest(length=length):
                self.assertEqual(self.run_probe(3, "rawsend", 8040, length).returncode, 0)
                self.assertEqual(listener.wait_for_line("^(ERROR|DATAGRAM)", STEP),
                                 "ERROR EMSGSIZE")
        self.assertEqual(self.run_probe(1, "send", 40, "proper").returncode, 0)
        lines = listener.read_all(STEP)
        self.assertEqual(listener.wait(STEP), 0, lines)
        self.assertEqual(datagrams(listener), ["DATAGRAM SEND plh1 proper"])

    def test_command_line_number_chooses_the_wire_port(self):
        # Only the low 16 bits of 8000 + N count; no number means port 8000.
        for n, port in (("12", 8012), ("65573", 8037), ("-1", 7999), ("abc", 8000)):
            with self.subTest(n=n):
                wire = self.wire(2, port, 1)
                wire.wait_for_line("^READY", STEP)
                sent = self.run_probe(1, "send", n, f"to {port}")
                self.assertEqual(sent.returncode, 0, sent.stdout)
                raw = bytes.fromhex(wire.wait_for_line("^WIRE", STEP).split()[2])
                self.assertEqual(field(scramble(raw), 55), f"to {port}".encode())
                self.assertEqual(wire.wait(STEP), 0)


if __name__ == "__main__":
    netlan.test_main(globals(), "the broadcast-port LAN test", ["probe"], deadline=50)
