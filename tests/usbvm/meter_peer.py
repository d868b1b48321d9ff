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


def serve(sock, meter, note):
    """Answers commands until BYE (returns True) or until the VM closes the
    line (returns False)."""
    while True:
        data = sock.recv(4096)
        if not data:
            note("the VM closed the line")
            return False
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
    args = ap.parse_args(argv)
    if not args.socket:
        ap.error("no socket: pass --socket or set USBVM_SOCK")

    log = open(args.log, "a", buffering=1) if args.log else sys.stderr
    t0 = time.monotonic()

    def note(what):
        print(f"meter-peer: {time.monotonic() - t0:9.4f}s {what}", file=log)

    meter = Meter()
    replugged = False
    while True:
        sock = connect(args.socket, 10)
        note(f"connected to {args.socket}")
        hung_up = serve(sock, meter, note)
        sock.close()
        if not (hung_up and args.replug_after > 0 and not replugged):
            break
        time.sleep(args.replug_after)
        replugged = True
        note("plugging the converter back in")
    ok = meter.complete(args.expect_ph, 1 if args.replug_after > 0 else 0)
    note(f"commands {meter.history!r}; session {'complete' if ok else 'INCOMPLETE'}")
    if log is not sys.stderr:
        log.close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
