#!/usr/bin/env python3
"""The meter on the serial side of the test VM's emulated converter.

Connects to the unix socket of the converter's serial side ($USBVM_SOCK or
--socket) and answers carriage-return terminated commands:

  PH     -> "pH: 7.02\\r"
  V      -> a version line
  BURST  -> 10,000 pattern bytes (BurstPattern.h) in chunks with pauses
  BYE    -> hangs up; the rig then unplugs the converter. With
            --replug-after S it connects again S seconds later, which
            plugs the converter back in, and goes on answering.
  other  -> ignored, like a meter ignoring noise (S20 and friends)

Logs every byte with a time stamp to --log (default stderr). Exits 0 when it
saw at least --expect-ph PH commands, a complete BURST and a BYE, in that
order, and with --replug-after a PH after plugging back in; 1 otherwise.

With --cli it plays the meter for tirevo-cli's runs instead: no BURST or BYE;
after the --hangup-greeting'th greeting ("S20") it answers --hangup-ph polls
and hangs up at the next one (the converter is unplugged), and with
--replug-after comes back. It then exits 0 when the first run was greeted
("S20", then "V") and polled at least --expect-ph times before the second
greeting, the greeting came again after the replug and polls followed it, and
the commands were paced: at least half of them arrived one character a read,
at least --min-gap-ms apart (a busy host may now and then deliver two bytes
in one read; a program that does not pace never has a single command paced).
Standard library only.
"""
import argparse
import os
import socket
import sys
import time

BURST_BYTES = 10000
BURST_CHUNKS = (1, 61, 62, 63, 64, 65, 127, 128, 500, 1000, 2000)
BURST_PAUSE_S = 0.015
READING = b"pH: 7.02\r"
VERSION = b"QUVA pH meter firmware 2.10\r"


def burst_byte(i):
    return (i * 131 + (i >> 8) * 29) & 0xFF


def burst_pattern(n=BURST_BYTES):
    return bytes(burst_byte(i) for i in range(n))


def burst_chunks(data=None):
    """The burst cut into the chunks it is sent in, in order."""
    data = burst_pattern() if data is None else data
    out, sent, i = [], 0, 0
    while sent < len(data):
        n = min(BURST_CHUNKS[i % len(BURST_CHUNKS)], len(data) - sent)
        out.append(data[sent:sent + n])
        sent += n
        i += 1
    return out


class Meter:
    """Splits the byte stream into commands and says what to do for each.

    Bytes may come one at a time (the program writes one per USB transfer),
    so a partial command waits for its carriage return. LF and NUL are
    dropped, so "PH\\r\\n" means "PH".
    """

    def __init__(self):
        self.pending = b""
        self.history = []

    def feed(self, data):
        """Returns the actions for the commands completed by `data`:
        ("send", bytes), ("burst", None) or ("hangup", None)."""
        actions = []
        for byte in data:
            if byte in (0x0A, 0x00):
                continue
            if byte != 0x0D:
                self.pending += bytes([byte])
                continue
            command, self.pending = self.pending.strip().upper(), b""
            self.history.append(command)
            if command == b"PH":
                actions.append(("send", READING))
            elif command == b"V":
                actions.append(("send", VERSION))
            elif command == b"BURST":
                actions.append(("burst", None))
            elif command == b"BYE":
                actions.append(("hangup", None))
        return actions

    def complete(self, expect_ph, ph_after_bye=0):
        """True when the session went as the conformance program runs it."""
        h = self.history
        try:
            burst = h.index(b"BURST")
            bye = h.index(b"BYE")
        except ValueError:
            return False
        return (h[:bye].count(b"PH") >= expect_ph and burst < bye and
                h[:burst].count(b"PH") >= 1 and h[bye + 1:].count(b"PH") >= ph_after_bye)


class Pacing:
    """How each command's bytes arrived: paced when every character came in a
    read of its own, at least min_gap_s after the character before it."""

    def __init__(self, min_gap_s):
        self.min_gap_s = min_gap_s
        self.pending = []  # (byte, time, read number) of the command so far
        self.commands = []  # (command, paced)
        self.reads = 0

    def feed(self, data, t):
        self.reads += 1
        for byte in data:
            if byte in (0x0A, 0x00):
                continue
            self.pending.append((byte, t, self.reads))
            if byte != 0x0D:
                continue
            command = bytes(b for b, _, _ in self.pending[:-1]).strip().upper()
            reads = [r for _, _, r in self.pending]
            times = [t for _, t, _ in self.pending]
            paced = (len(set(reads)) == len(reads) and
                     all(b - a >= self.min_gap_s for a, b in zip(times, times[1:])))
            self.commands.append((command, paced))
            self.pending = []

    def paced_share(self):
        if not self.commands:
            return 0.0
        return sum(1 for _, paced in self.commands if paced) / len(self.commands)


class CliMeter(Meter):
    """The meter for tirevo-cli: hangs up instead of answering the poll after
    the hangup_ph'th one that follows the hangup_greeting'th "S20"."""

    def __init__(self, hangup_greeting, hangup_ph):
        super().__init__()
        self.hangup_greeting = hangup_greeting
        self.hangup_ph = hangup_ph
        self.hung_up = False

    def feed(self, data):
        # A byte at a time, so the last command in the history is the one
        # each action answers.
        actions = []
        for byte in data:
            for action in super().feed(bytes([byte])):
                if (not self.hung_up and self.history[-1] == b"PH" and
                        self.history.count(b"S20") == self.hangup_greeting and
                        self.polls_since_greeting() > self.hangup_ph):
                    self.hung_up = True
                    self.history.append(b"<unplugged>")
                    return actions + [("hangup", None)]
                actions.append(action)
        return actions

    def polls_since_greeting(self):
        last = len(self.history) - 1 - self.history[::-1].index(b"S20")
        return self.history[last:].count(b"PH")

    def complete(self, expect_ph, pacing, min_paced_share=0.5):
        """True when the runs went as the tirevo-cli checks run them."""
        h = self.history
        greetings = [i for i in range(len(h) - 1) if h[i] == b"S20" and h[i + 1] == b"V"]
        if len(greetings) < 3 or b"<unplugged>" not in h:
            return False
        unplugged = h.index(b"<unplugged>")
        first_run = h[greetings[0]:greetings[1]]
        after = [i for i in greetings if i > unplugged]
        return (first_run.count(b"PH") >= expect_ph and bool(after) and
                h[after[0]:].count(b"PH") >= 1 and
                pacing.paced_share() >= min_paced_share)


def connect(path, wait_s):
    deadline = time.monotonic() + wait_s
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sock.connect(path)
            return sock
        except OSError:
            sock.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


def serve(sock, meter, note, pacing=None):
    """Answers commands until BYE (returns True) or until the VM closes the
    line (returns False)."""
    while True:
        data = sock.recv(4096)
        if not data:
            note("the VM closed the line")
            return False
        if pacing is not None:
            pacing.feed(data, time.monotonic())
        note(f"rx {data!r}")
        for action, payload in meter.feed(data):
            if action == "send":
                sock.sendall(payload)
                note(f"tx {payload!r}")
            elif action == "burst":
                for chunk in burst_chunks():
                    sock.sendall(chunk)
                    time.sleep(BURST_PAUSE_S)
                note(f"tx burst of {BURST_BYTES} bytes")
            elif action == "hangup":
                note("hanging up: the converter is unplugged now")
                return True


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--socket", default=os.environ.get("USBVM_SOCK"))
    ap.add_argument("--log", help="append the byte log to this file")
    ap.add_argument("--expect-ph", type=int, default=1,
                    help="PH commands expected before BYE")
    ap.add_argument("--replug-after", type=float, default=0,
                    help="seconds after hanging up before connecting again (0: never)")
    ap.add_argument("--cli", action="store_true",
                    help="play the meter for tirevo-cli's runs (see above)")
    ap.add_argument("--hangup-greeting", type=int, default=2,
                    help="--cli: the greeting after which the converter is unplugged")
    ap.add_argument("--hangup-ph", type=int, default=3,
                    help="--cli: polls answered after that greeting before unplugging")
    ap.add_argument("--min-gap-ms", type=float, default=1.0,
                    help="--cli: least time between two characters of a paced command")
    args = ap.parse_args(argv)
    if not args.socket:
        ap.error("no socket: pass --socket or set USBVM_SOCK")

    log = open(args.log, "a", buffering=1) if args.log else sys.stderr
    t0 = time.monotonic()

    def note(what):
        print(f"meter-peer: {time.monotonic() - t0:9.4f}s {what}", file=log)

    meter = CliMeter(args.hangup_greeting, args.hangup_ph) if args.cli else Meter()
    pacing = Pacing(args.min_gap_ms / 1000.0) if args.cli else None
    replugged = False
    while True:
        sock = connect(args.socket, 10)
        note(f"connected to {args.socket}")
        hung_up = serve(sock, meter, note, pacing)
        sock.close()
        if not (hung_up and args.replug_after > 0 and not replugged):
            break
        time.sleep(args.replug_after)
        replugged = True
        note("plugging the converter back in")
    if args.cli:
        ok = meter.complete(args.expect_ph, pacing)
        paced = sum(1 for _, p in pacing.commands if p)
        note(f"paced commands: {paced} of {len(pacing.commands)}")
    else:
        ok = meter.complete(args.expect_ph, 1 if args.replug_after > 0 else 0)
    note(f"commands {meter.history!r}; session {'complete' if ok else 'INCOMPLETE'}")
    if log is not sys.stderr:
        log.close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
