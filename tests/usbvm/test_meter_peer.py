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
            (b"PH\rBURST\rPH\rBYE\r", 2, 0, True),
            (b"PH\rBURST\rBYE\r", 2, 0, False),
            (b"PH\rBURST\rBYE\rPH\r", 2, 0, False),  # the PH after BYE counts apart
            (b"BURST\rPH\rPH\rBYE\r", 2, 0, False),
            (b"PH\rPH\rBYE\rBURST\r", 2, 0, False),
            (b"PH\rPH\rBURST\r", 1, 0, False),
            (b"PH\rBURST\rPH\rBYE\rPH\r", 2, 1, True),
            (b"PH\rBURST\rPH\rBYE\r", 2, 1, False),
        ]
        for stream, expect_ph, after_bye, complete in cases:
            with self.subTest(stream=stream, after_bye=after_bye):
                meter = meter_peer.Meter()
                meter.feed(stream)
                self.assertEqual(meter.complete(expect_ph, after_bye), complete)


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
    def converse(self, conn, command, reply_end=b"\r", size=None):
        conn.sendall(command)
        got = b""
        while (size is None and not got.endswith(reply_end)) or (size and len(got) < size):
            got += conn.recv(4096)
        return got

    def run_peer(self, directory, path, extra):
        result = {}
        args = ["--socket", path, "--expect-ph", "1", "--log", os.path.join(directory, "log")]
        peer = threading.Thread(target=lambda: result.setdefault("rc", meter_peer.main(args + extra)))
        peer.start()
        return peer, result

    def test_whole_session_with_unplug_and_replug(self):
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "chip.sock")
            server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            server.bind(path)
            server.listen(1)
            peer, result = self.run_peer(d, path, ["--replug-after", "0.05"])
            conn, _ = server.accept()
            conn.sendall(b"P")
            self.assertEqual(self.converse(conn, b"H\r"), b"pH: 7.02\r")
            self.assertEqual(self.converse(conn, b"BURST\r", size=10000), meter_peer.burst_pattern())
            conn.sendall(b"BYE\r")
            self.assertEqual(conn.recv(16), b"")  # hung up: the converter is unplugged
            conn.close()
            conn, _ = server.accept()  # and plugged back in
            self.assertEqual(self.converse(conn, b"PH\r"), b"pH: 7.02\r")
            conn.close()  # the VM powers off
            peer.join(5)
            server.close()
            self.assertEqual(result.get("rc"), 0)

    def test_session_without_bye_is_incomplete(self):
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "chip.sock")
            server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            server.bind(path)
            server.listen(1)
            peer, result = self.run_peer(d, path, [])
            conn, _ = server.accept()
            self.assertEqual(self.converse(conn, b"PH\r"), b"pH: 7.02\r")
            conn.close()
            peer.join(5)
            server.close()
            self.assertEqual(result.get("rc"), 1)


class CliRuns(unittest.TestCase):
    """The meter as tirevo-cli's runs in the VM meet it."""

    @staticmethod
    def paced(meter, pacing, text, t0, gap):
        """Feeds text a byte a read, gap seconds apart; returns the actions."""
        actions = []
        for i, byte in enumerate(text):
            pacing.feed(bytes([byte]), t0 + i * gap)
            actions += meter.feed(bytes([byte]))
        return actions

    def test_pacing_needs_a_read_per_character_and_the_gap(self):
        cases = [
            ([b"P", b"H", b"\r"], [0.0, 0.003, 0.006], True),
            ([b"P", b"H", b"\r"], [0.0, 0.0005, 0.006], False),  # too close
            ([b"PH", b"\r"], [0.0, 0.006], False),              # two in one read
            ([b"PH\r"], [0.0], False),
            ([b"\r"], [0.0], True),                              # an empty command
        ]
        for reads, times, paced in cases:
            pacing = meter_peer.Pacing(0.001)
            for data, t in zip(reads, times):
                pacing.feed(data, t)
            self.assertEqual(pacing.commands, [(b"".join(reads).strip(), paced)], (reads, times))

    def test_hangs_up_at_the_poll_after_the_answered_ones(self):
        meter = meter_peer.CliMeter(hangup_greeting=2, hangup_ph=2)
        pacing = meter_peer.Pacing(0.001)
        t = 0.0
        for command in [b"S20\r", b"V\r", b"PH\r", b"PH\r", b"PH\r", b"S20\r", b"V\r", b"PH\r", b"PH\r"]:
            actions = self.paced(meter, pacing, command, t, 0.003)
            self.assertNotIn(("hangup", None), actions, command)
            t += 1
        self.assertEqual(self.paced(meter, pacing, b"PH\r", t, 0.003), [("hangup", None)])
        self.assertFalse(meter.complete(3, pacing), "not yet greeted after the replug")
        for command in [b"S20\r", b"V\r", b"PH\r"]:
            self.assertNotIn(("hangup", None), self.paced(meter, pacing, command, t + 5, 0.003))
        self.assertTrue(meter.complete(3, pacing))
        self.assertFalse(meter.complete(4, pacing), "only three polls in the first run")

    def test_unpaced_commands_are_incomplete(self):
        meter = meter_peer.CliMeter(hangup_greeting=2, hangup_ph=0)
        pacing = meter_peer.Pacing(0.001)
        stream = [b"S20\r", b"V\r", b"PH\r", b"S20\r", b"V\r", b"PH\r", b"S20\r", b"V\r", b"PH\r"]
        for i, command in enumerate(stream):
            pacing.feed(command, float(i))  # each command in one read
            meter.feed(command)
        self.assertIn(b"<unplugged>", meter.history)
        self.assertEqual(pacing.paced_share(), 0.0)
        self.assertFalse(meter.complete(1, pacing))


if __name__ == "__main__":
    unittest.main()
