#!/usr/bin/env python3
"""A receipt printer that answers for its state, for the tests of the kalvenor back end.

fake_status_printer.py RECORD [flags] listens on 127.0.0.1 (or a pseudo-terminal with --pty),
prints "port N" (or "pty PATH") once it does, then a line for each event ("paper-out"); a line
"reload" on its standard input puts paper in, and it ends when that input closes. It answers
DLE EOT 1-4 with its state, a process ID (GS ( H) with 37 22 ID 00 once everything before it has
printed, and the buffer clear with 37 25 00. It prints what it holds only while ready; RECORD
(replaced whole) says what it printed, as of its last process-ID answer, buffer clear, closed
connection or its end. With --streams DIR every connection's bytes, as they came,
become DIR/job-N.prn once it closes, read by scripts/escpos_page.py's strict reader: a line
"job-N ok", or "job-N error WHY" for a stream it refuses.
"""
import argparse
import json
import os
import select
import socket
import sys
import termios
import time

flags = argparse.ArgumentParser()
flags.add_argument("record")
flags.add_argument("--empty", action="store_true", help="starts out of paper")
flags.add_argument("--paper-after", type=int, help="runs out of paper after printing K bytes")
flags.add_argument("--reload-after", type=float, help="paper back S seconds after it ran out")
flags.add_argument("--cover-open", action="store_true")
flags.add_argument("--offline", action="store_true")
flags.add_argument("--silent", action="store_true", help="never answers status")
flags.add_argument("--no-ids", action="store_true", help="answers status but not process IDs")
flags.add_argument("--refuse", action="store_true", help="refuses connections")
flags.add_argument("--stop-reading", type=int, help="reads no more after N bytes")
flags.add_argument("--pty", action="store_true")
flags.add_argument("--streams", help="keeps and reads every connection's stream in this folder")
a = flags.parse_args()
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import escpos_page  # noqa: E402

STATUS, PROCESS_ID = b"\x10\x04", b"\x1d\x28\x48\x06\x00\x30\x30"
CLEAR = b"\x10\x14\x08\x01\x03\x14\x01\x06\x02\x08"


def say(line):
    print(line, flush=True)


def keep_stream(data, count):
    name = "job-%d" % count
    with open(os.path.join(a.streams, name + ".prn"), "wb") as f:
        f.write(data)
    try:
        escpos_page.parse(bytes(data))
        say(name + " ok")
    except escpos_page.StreamError as e:
        say("%s error %s" % (name, str(e).replace("\n", " ")))


def sender(fd):
    def send(data):
        try:
            os.write(fd, data)
        except OSError:  # the back end has gone: nobody hears it
            pass
    return send


class Printer:
    def __init__(self):
        self.out_since = time.monotonic() if a.empty else None
        self.paper_left = a.paper_after
        self.inbox, self.queue, self.printed = bytearray(), bytearray(), bytearray()
        self.cleared = self.received = 0

    def ready(self):
        return self.out_since is None and not a.cover_open and not a.offline

    def status(self, n):
        out = self.out_since is not None
        bits = {1: 0x08 if not self.ready() else 0, 2: 0x04 * a.cover_open | 0x20 * out, 4: 0x60 * out}
        return bytes([0x12 | bits.get(n, 0)])

    def feed(self, data, send):
        """Real-time commands are answered at once, the rest queued for printing."""
        b = self.inbox
        b += data
        self.received += len(data)
        while b:
            if b[:2] == STATUS:
                if len(b) < 3:
                    break
                if not a.silent:
                    self.run(send)  # it prints faster than anyone asks
                    send(self.status(b[2]))
                del b[:3]
            elif b[:len(CLEAR)] == CLEAR:
                self.queue.clear()
                self.cleared += 1
                self.save()
                send(b"\x37\x25\x00")
                del b[:len(CLEAR)]
            elif CLEAR.startswith(b):
                break
            else:
                i = b.find(b"\x10", 1)
                i = len(b) if i < 0 else i
                self.queue += b[:i]
                del b[:i]

    def run(self, send):
        q = self.queue
        while q and self.ready():
            if q[:len(PROCESS_ID)] == PROCESS_ID[:len(q)]:
                if len(q) < 11:
                    break
                self.save()
                if not a.no_ids:
                    send(b"\x37\x22" + q[7:11] + b"\x00")
                del q[:11]
                continue
            n = q.find(PROCESS_ID[:1], 1)
            n = len(q) if n < 0 else n
            if self.paper_left is not None:
                n = min(n, self.paper_left)
                self.paper_left -= n
            self.printed += q[:n]
            del q[:n]
            if self.paper_left == 0:
                self.paper_left, self.out_since = None, time.monotonic()
                say("paper-out")
        if self.out_since and a.reload_after is not None and time.monotonic() >= self.out_since + a.reload_after:
            self.out_since = None
            self.run(send)

    def save(self):
        receipts = self.printed.count(b"\x1dVB\x00") + self.printed.count(b"\x1dVA\x00")
        record = {"receipts": receipts, "printed": self.printed.hex(), "cleared": self.cleared,
                  "received": self.received}
        if a.pty:
            record["speed"] = termios.tcgetattr(slave)[4]
        with open(a.record + ".tmp", "w") as f:
            json.dump(record, f)
        os.replace(a.record + ".tmp", a.record)


printer = Printer()
listener, conn = None, None
if a.pty:
    conn, slave = os.openpty()
    where = "pty " + os.ttyname(slave)
else:
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind(("127.0.0.1", 0))
    if not a.refuse:  # bound but not listening: connections are refused
        listener.listen()
    where = "port %d" % listener.getsockname()[1]
printer.save()
say(where)
received, ending, stream, streams = 0, False, bytearray(), 0
while True:
    watched = [0] * (not ending) + ([listener] if listener and not a.refuse and conn is None else [])
    if conn is not None and (a.stop_reading is None or received < a.stop_reading):
        watched.append(conn)
    reload = printer.out_since is not None and a.reload_after is not None
    timeout = max(0, printer.out_since + a.reload_after - time.monotonic()) if reload else None
    readable = select.select(watched, [], [], 0 if ending else timeout)[0]
    if 0 in readable:
        told = os.read(0, 64)
        ending = not told  # once what came has been read
        if b"reload" in told:
            printer.out_since = None
    if ending and not readable:  # a connection still waiting to be taken is read first
        break
    if listener in readable:
        sock = listener.accept()[0]
        conn = sock.fileno()
    send = sender(conn) if conn is not None else None
    if conn in readable:
        limit = 4096 if a.stop_reading is None else max(1, min(4096, a.stop_reading - received))
        try:
            data = os.read(conn, limit)
        except OSError:
            data = b""
        received += len(data)
        stream += data
        printer.feed(data, send)
    if send:
        printer.run(send)
    if conn in readable and not data and not a.pty:
        sock.close()
        conn = None
        printer.save()
        if a.streams:
            streams += 1
            keep_stream(stream, streams)
        stream = bytearray()
printer.save()
