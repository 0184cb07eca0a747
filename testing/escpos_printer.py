#!/usr/bin/env python3
"""A stand-in ESC/POS printer on 127.0.0.1: escpos_printer.py DIR [--stall]
writes its free port to DIR/port; every connection's bytes become DIR/job-N.prn, then
DIR/job-N.ok or DIR/job-N.error (scripts/escpos_page.py's strict reading).
With --stall it accepts connections and never reads them; with --refuse it
writes its port and closes it, so that every connection is refused."""
import os
import socket
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import escpos_page  # noqa: E402


def receive(conn, base):
    data = b""
    while True:
        got = conn.recv(65536)
        if not got:
            break
        data += got
    conn.close()
    with open(base + ".prn.tmp", "wb") as f:
        f.write(data)
    os.rename(base + ".prn.tmp", base + ".prn")
    try:
        escpos_page.parse(data)
        verdict, text = ".ok", ""
    except escpos_page.StreamError as e:
        verdict, text = ".error", str(e)
    with open(base + verdict, "w") as f:
        f.write(text)


server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(8)
with open(os.path.join(sys.argv[1], "port.tmp"), "w") as f:
    f.write(str(server.getsockname()[1]))
os.rename(os.path.join(sys.argv[1], "port.tmp"), os.path.join(sys.argv[1], "port"))
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
