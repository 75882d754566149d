#!/usr/bin/env python3
"""The local content server for tests and the demo.

Serves the files of a folder over HTTP/1.1 on 127.0.0.1, and fault routes under
/_fault/ that answer the way broken or hostile servers do:

  /_fault/status/CODE            that status with a short body
  /_fault/redirect/N/PATH        N redirects (302, relative Location) ending at /PATH
  /_fault/redirect-abs/N/PATH    the same with absolute Location headers
  /_fault/redirect-loop          a redirect to itself, for ever
  /_fault/chunked/PATH           the file at PATH in chunked transfer encoding
  /_fault/chunked-cut/PATH       chunked, broken off in the middle of a chunk
  /_fault/no-length/PATH         the file at PATH with no Content-Length, then close
  /_fault/short/PATH             Content-Length says more than is sent, then close
  /_fault/drop/PATH              half of the body, then the connection is reset
  /_fault/silent                 accepts the request and never answers
  /_fault/bad-status             a malformed status line
  /_fault/bad-header             a header line without a colon
  /_fault/huge-header            a header block far over 64 KiB
  /_fault/bad-length             Content-Length: -5

With --flash-installer FILE, FILE is served at the Flash Player download path
(FLASH_INSTALLER_PATH below), whatever --root holds.

Files are looked up in --root, then in each --also-root in order (the stand-ins'
archives and packages live in the build folder). A file PATH.drop beside PATH in
a root makes a plain request for /PATH answer like /_fault/drop/PATH, so a test
can break a download at a path that the program fixes itself.

Every request line is appended to the request log (--request-log), so tests can
check what the program asked for.

--delay PATH=SECONDS (repeatable) waits that long before answering a request for
PATH, as a slow line would: the demo uses it so that the progress window stays up
long enough for its picture.

Usage: content_server.py --root DIR [--also-root DIR]... [--port N] [--port-file F]
                         [--request-log F] [--flash-installer FILE]
                         [--delay PATH=SECONDS]...
The port file is written once the server listens (port 0 picks a free port).
"""
import argparse
import os
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler

SILENT_SECONDS = 120
FLASH_INSTALLER_PATH = "/get/flashplayer/current/licensing/win/install_flash_player_10_active_x.exe"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "BrivolaContent/1.0"

    def log_message(self, fmt, *args):
        pass

    # -- helpers -----------------------------------------------------------
    def _file(self, rel):
        for root in [self.server.root] + self.server.also_roots:
            path = os.path.realpath(os.path.join(root, rel.lstrip("/")))
            if not path.startswith(os.path.realpath(root) + os.sep) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                return f.read()
        return None

    def _send(self, code, body=b"", headers=(), length=True, close=True):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        if close:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def _raw(self, data):
        self.wfile.write(data)
        self.wfile.flush()
        self.close_connection = True

    def _reset(self):
        # SO_LINGER with a zero time-out turns close() into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True

    def _not_found(self):
        self._send(404, b"not found\n", [("Content-Type", "text/plain")])

    # -- routes ------------------------------------------------------------
    def do_GET(self):
        if self.server.request_log:
            with self.server.log_lock, open(self.server.request_log, "a") as f:
                f.write(self.requestline + "\n")
        path = self.path.split("?", 1)[0]
        if path in self.server.delays:
            time.sleep(self.server.delays[path])
        if not path.startswith("/_fault/") and self._file(path + ".drop") is not None:
            return self._fault("drop" + path)
        if path == FLASH_INSTALLER_PATH and self.server.flash_installer:
            with open(self.server.flash_installer, "rb") as f:
                return self._send(200, f.read(), [("Content-Type", "application/octet-stream")])
        if not path.startswith("/_fault/"):
            body = self._file(path)
            if body is None:
                return self._not_found()
            return self._send(200, body, [("Content-Type", "application/octet-stream")])
        self._fault(path[len("/_fault/"):])

    def _fault(self, route):
        name, _, rest = route.partition("/")
        if name == "status":
            code = int(rest or "500")
            return self._send(code, b"status %d\n" % code)
        if name in ("redirect", "redirect-abs"):
            count, _, target = rest.partition("/")
            count = int(count)
            if count <= 0:
                location = "/" + target
            else:
                location = "/_fault/%s/%d/%s" % (name, count - 1, target)
            if name == "redirect-abs":
                host, port = self.server.server_address[:2]
                location = "http://%s:%d%s" % (host, port, location)
            return self._send(302, b"", [("Location", location)])
        if name == "redirect-loop":
            return self._send(302, b"", [("Location", "/_fault/redirect-loop")])
        if name == "silent":
            time.sleep(SILENT_SECONDS)
            self.close_connection = True
            return None
        if name == "bad-status":
            return self._raw(b"HTTP/1.1 OK-ish\r\nContent-Length: 0\r\n\r\n")
        if name == "bad-header":
            return self._raw(b"HTTP/1.1 200 OK\r\nThisLineHasNoColon\r\nContent-Length: 0\r\n\r\n")
        if name == "huge-header":
            return self._raw(b"HTTP/1.1 200 OK\r\nX-Big: " + b"a" * (200 * 1024) + b"\r\n\r\n")
        if name == "bad-length":
            return self._raw(b"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n")

        body = self._file(rest)
        if body is None:
            return self._not_found()
        if name == "no-length":
            return self._send(200, body, length=False)
        if name == "short":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body) + 1000))
            self.send_header("Connection", "close")
            self.end_headers()
            return self._raw(body)
        if name == "drop":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            return self._reset()
        if name in ("chunked", "chunked-cut"):
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.send_header("Connection", "close")
            self.end_headers()
            step = 1000
            for i in range(0, len(body), step):
                part = body[i:i + step]
                if name == "chunked-cut" and i + step >= len(body) // 2:
                    return self._raw(b"%x\r\n" % len(part) + part[: len(part) // 2])
                self.wfile.write(b"%x\r\n" % len(part) + part + b"\r\n")
            return self._raw(b"0\r\n\r\n")
        return self._not_found()


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--also-root", action="append", default=[])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--request-log")
    parser.add_argument("--flash-installer")
    parser.add_argument("--delay", action="append", default=[], metavar="PATH=SECONDS")
    args = parser.parse_args()

    server = Server(("127.0.0.1", args.port), Handler)
    server.root = os.path.abspath(args.root)
    server.also_roots = [os.path.abspath(r) for r in args.also_root]
    server.request_log = args.request_log
    server.flash_installer = args.flash_installer and os.path.abspath(args.flash_installer)
    server.log_lock = threading.Lock()
    server.delays = {}
    for item in args.delay:
        path, _, seconds = item.rpartition("=")
        server.delays[path] = float(seconds)
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % server.server_address[1])
        os.replace(tmp, args.port_file)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    try:
        server.serve_forever(poll_interval=0.1)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
