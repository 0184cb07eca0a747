#!/usr/bin/env python3
"""A stand-in ESC/POS printer on 127.0.0.1: escpos_printer.py DIR [--stall|--refuse]
reports on standard output, a line at a time, what it did:
  port N           listening on port N (the first line)
  job-N ok         a connection's bytes are DIR/job-N.prn, and read cleanly
  job-N error WHY  ... and scripts/escpos_page.py's strict reading refused them
  held job-N       --stall: the connection was accepted and is never read
  refusing         --refuse: the port is closed, so every connection is refused
"""
import os
import socket
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import escpos_page  # noqa: E402

lock = threading.Lock()


def report(line):
    with lock:
        print(line, flush=True)


def receive(conn, name):
    data = b"".join(iter(lambda: conn.recv(65536), b""))
    conn.close()
    with open(os.path.join(sys.argv[1], name + ".prn"), "wb") as f:
        f.write(data)
    try:
        escpos_page.parse(data)
        report(name + " ok")
    except escpos_page.StreamError as e:
        report("%s error %s" % (name, str(e).replace("\n", " ")))


server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(8)
port = server.getsockname()[1]
if "--refuse" in sys.argv:
    # Bound without listening: connections are refused, and no other program takes the port.
    server.close()
    server = socket.socket()
    server.bind(("127.0.0.1", port))
    report("port %d" % port)
    report("refusing")
    threading.Event().wait()
report("port %d" % port)
held, count = [], 0
while True:
    conn, _ = server.accept()
    count += 1
    if "--stall" in sys.argv:
        held.append(conn)
        report("held job-%d" % count)
    else:
        threading.Thread(target=receive, args=(conn, "job-%d" % count), daemon=True).start()
