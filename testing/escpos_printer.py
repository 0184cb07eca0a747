#!/usr/bin/env python3
"""A stand-in ESC/POS printer on 127.0.0.1: escpos_printer.py DIR [--stall|--refuse]
writes its free port to DIR/port; every connection's bytes become DIR/job-N.prn, then
DIR/job-N.ok or DIR/job-N.error (scripts/escpos_page.py's strict reading).
--stall: connections are accepted and never read; --refuse: every connection is refused."""
import os
import socket
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import escpos_page  # noqa: E402


def write_atomic(name, data):
    with open(name + ".tmp", "wb") as f:
        f.write(data)
    os.rename(name + ".tmp", name)


def receive(conn, base):
    data = b"".join(iter(lambda: conn.recv(65536), b""))
    conn.close()
    write_atomic(base + ".prn", data)
    try:
        escpos_page.parse(data)
        verdict, text = ".ok", ""
    except escpos_page.StreamError as e:
        verdict, text = ".error", str(e)
    write_atomic(base + verdict, text.encode())


server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(8)
write_atomic(os.path.join(sys.argv[1], "port"), str(server.getsockname()[1]).encode())
if "--refuse" in sys.argv:
    server.close()
    sys.exit(0)
held, count = [], 0
while True:
    conn, _ = server.accept()
    count += 1
    if "--stall" in sys.argv:
        held.append(conn)
    else:
        base = os.path.join(sys.argv[1], "job-%d" % count)
        threading.Thread(target=receive, args=(conn, base), daemon=True).start()
