#!/usr/bin/env python3
"""A stand-in for the QR services: qr_server.py DIR listens on a free port of 127.0.0.1, writes it
as a line on standard output once it listens, stores every request whole in DIR/request-N (N from 1) and answers as DIR/case says
then: a case name and, for most, a file whose bytes are the body.
  200 FILE    the file with its Content-Length
  close FILE  the file, no Content-Length: the body ends at close
  short FILE  the file, announcing 100 bytes more than it holds
  404         not found
  301 FILE    a redirect to /followed, which answers "200 FILE"; 302 the same
  hang        reads the request and never answers
"""
import os
import socketserver
import sys
import threading

DIR = sys.argv[1]
lock = threading.Lock()
count = [0]


def write_atomic(name, data):
    with open(name + ".tmp", "wb") as f:
        f.write(data)
    os.replace(name + ".tmp", name)


class Handler(socketserver.StreamRequestHandler):
    def answer(self, status, headers, body=b""):
        head = "".join("%s: %s\r\n" % h for h in headers)
        self.wfile.write(b"HTTP/1.1 %d X\r\n%sConnection: close\r\n\r\n" % (status, head.encode()) + body)

    def handle(self):
        head = b""
        while b"\r\n\r\n" not in head:
            line = self.rfile.readline()
            if not line:
                return
            head += line
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value)
        with lock:
            count[0] += 1
            n = count[0]
        write_atomic(os.path.join(DIR, "request-%d" % n), head + self.rfile.read(length))
        case, arg = "404", ""
        if os.path.exists(os.path.join(DIR, "case")):
            case, _, arg = open(os.path.join(DIR, "case"), encoding="utf-8").read().strip().partition(" ")
        if head.split(b" ", 2)[1].startswith(b"/followed"):
            case = "200"
        if case == "hang":
            threading.Event().wait()  # until the server is ended
        if case == "404":
            return self.answer(404, [("Content-Length", "9")], b"not found")
        body = open(arg, "rb").read()
        if case in ("301", "302"):
            where = "http://127.0.0.1:%d/followed" % self.server.server_address[1]
            return self.answer(int(case), [("Location", where), ("Content-Length", "0")])
        extra = {"200": 0, "short": 100}
        self.answer(200, [("Content-Length", str(len(body) + extra[case]))] if case in extra else [], body)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
