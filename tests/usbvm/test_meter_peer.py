"""The test VM's meter peer without a VM: command framing, the burst, and
a whole session over a socket pair."""
import os
import socket
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import meter_peer  # noqa: E402


class Framing(unittest.TestCase):
    def test_commands_split_over_single_bytes(self):
        meter = meter_peer.Meter()
        actions = []
        for b in b"PH\r":
            actions += meter.feed(bytes([b]))
        self.assertEqual(actions, [("send", b"pH: 7.02\r")])

    def test_several_commands_in_one_read_and_noise(self):
        meter = meter_peer.Meter()
        actions = meter.feed(b"S20\rV\r\nph\rBURST\rBYE\r")
        self.assertEqual([a for a, _ in actions], ["send", "send", "burst", "hangup"])
        self.assertEqual(actions[0][1], meter_peer.VERSION)
        self.assertEqual(actions[1][1], b"pH: 7.02\r")
        self.assertEqual(meter.history, [b"S20", b"V", b"PH", b"BURST", b"BYE"])

    def test_session_needs_ph_before_burst_before_bye(self):
        cases = [
            (b"PH\rBURST\rPH\rBYE\r", 2, True),
            (b"PH\rBURST\rBYE\r", 2, False),
            (b"BURST\rPH\rPH\rBYE\r", 2, False),
            (b"PH\rPH\rBYE\rBURST\r", 2, False),
            (b"PH\rPH\rBURST\r", 1, False),
        ]
        for stream, expect_ph, complete in cases:
            with self.subTest(stream=stream):
                meter = meter_peer.Meter()
                meter.feed(stream)
                self.assertEqual(meter.complete(expect_ph), complete)


class Burst(unittest.TestCase):
    def test_chunks_cover_the_pattern_in_order(self):
        chunks = meter_peer.burst_chunks()
        self.assertEqual(b"".join(chunks), meter_peer.burst_pattern())
        self.assertEqual(len(b"".join(chunks)), 10000)
        self.assertEqual([len(c) for c in chunks[:11]], list(meter_peer.BURST_CHUNKS))

    def test_pattern_matches_the_checker(self):
        # Values of BurstByte in BurstPattern.h at a few indexes.
        expected = {0: 0, 1: 131, 2: 6, 255: (255 * 131) & 0xFF, 256: (256 * 131 + 29) & 0xFF,
                    9999: (9999 * 131 + 39 * 29) & 0xFF}
        for i, v in expected.items():
            self.assertEqual(meter_peer.burst_byte(i), v, i)

    def test_no_short_period_hides_a_lost_packet(self):
        p = meter_peer.burst_pattern()
        for shift in (62, 64, 256, 512):
            self.assertNotEqual(p[shift:shift + 1000], p[:1000], shift)


class Session(unittest.TestCase):
    def test_whole_session_over_a_socket(self):
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "chip.sock")
            server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            server.bind(path)
            server.listen(1)
            result = {}
            peer = threading.Thread(
                target=lambda: result.setdefault(
                    "rc", meter_peer.main(["--socket", path, "--expect-ph", "1",
                                           "--log", os.path.join(d, "log")])))
            peer.start()
            conn, _ = server.accept()
            conn.sendall(b"P")
            conn.sendall(b"H\r")
            reply = b""
            while not reply.endswith(b"\r"):
                reply += conn.recv(64)
            self.assertEqual(reply, b"pH: 7.02\r")
            conn.sendall(b"BURST\r")
            got = b""
            while len(got) < 10000:
                got += conn.recv(4096)
            self.assertEqual(got, meter_peer.burst_pattern())
            conn.sendall(b"BYE\r")
            self.assertEqual(conn.recv(16), b"")  # the peer hung up
            peer.join(5)
            conn.close()
            server.close()
            self.assertEqual(result.get("rc"), 0)


if __name__ == "__main__":
    unittest.main()
