#!/usr/bin/env python3
"""A stand-in for the QR services, for the tests.

    qr_server.py DIR

Listens on 127.0.0.1 on a free port and writes the port to DIR/port. Every
request is stored whole, as received, in DIR/request-N (N from 1), and
answered as DIR/case says at that moment (one line: a case name and, for
most cases, a file whose bytes are the body):

    200 FILE       status 200 with the file as body and its Content-Length
    close FILE     status 200, no Content-Length, the body ends at close
    short FILE     status 200 announcing 100 bytes more than the file holds
    404            status 404
    301 FILE       a redirect to /followed, which would answer "200 FILE"
    302 FILE       the same with status 302
    hang           reads the request and never answers

Stops on SIGTERM.
"""

import os
import signal
import socketserver
import sys
import threading
import time

DIR = sys.argv[1]
counter_lock = threading.Lock()
counter = [0]


def read_file(name):
    with open(name, "rb") as f:
        return f.read()


def current_case():
    try:
        with open(os.path.join(DIR, "case"), encoding="utf-8") as f:
            words = f.read().split(None, 1)
    except FileNotFoundError:
        return "404", None
    if not words:
        return "404", None
    return words[0], (words[1].strip() if len(words) > 1 else None)


def record(raw):
    with counter_lock:
        counter[0] += 1
        n = counter[0]
    name = os.path.join(DIR, "request-%d" % n)
    with open(name + ".tmp", "wb") as f:
        f.write(raw)
    os.replace(name + ".tmp", name)


class Handler(socketserver.StreamRequestHandler):
    def read_request(self):
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.rfile.readline()
            if not chunk:
                return None
            head += chunk
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        body = self.rfile.read(length) if length else b""
        return head + body

    def answer(self, status, reason, headers, body):
        out = ("HTTP/1.1 %d %s\r\n" % (status, reason)).encode("ascii")
        for name, value in headers:
            out += ("%s: %s\r\n" % (name, value)).encode("ascii")
        out += b"Connection: close\r\n\r\n" + body
        self.wfile.write(out)
        self.wfile.flush()

    def handle(self):
        raw = self.read_request()
        if raw is None:
            return
        record(raw)
        case, arg = current_case()
        path = raw.split(b" ", 2)[1]
        if path.startswith(b"/followed"):
            case = "200"
        if case == "hang":
            while True:
                time.sleep(1)
        if case == "404":
            self.answer(404, "Not Found", [("Content-Length", "9")], b"not found")
            return
        body = read_file(arg)
        if case == "200":
            self.answer(200, "OK", [("Content-Length", str(len(body)))], body)
        elif case == "close":
            self.answer(200, "OK", [], body)
        elif case == "short":
            self.answer(200, "OK", [("Content-Length", str(len(body) + 100))], body)
        elif case in ("301", "302"):
            port = self.server.server_address[1]
            self.answer(int(case), "Moved",
                        [("Location", "http://127.0.0.1:%d/followed" % port),
                         ("Content-Length", "0")], b"")
        else:
            self.answer(500, "Unknown Case", [("Content-Length", "0")], b"")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    port_file = os.path.join(DIR, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
