#!/usr/bin/env python3
"""An HTTP server on loopback that answers what the request path asks for,
to drive the cloud-storage client through its result codes.

usage: status_server.py STATE_DIR [FILES_DIR]

Writes its port to STATE_DIR/port.txt and serves until its standard input
closes (at most 600 seconds). Paths (any method):
  /status/<code>/...   answers <code> with a short body
  /body/<n>/...        answers 200 with n bytes
  /multierror/...      answers 200 with an S3 <Error> entry in the body
  /md5check/...        answers 204 when Content-MD5 is the Base64 MD5 of the
                       body and Content-Type is text/xml, else 400
  /garbage/...         answers bytes that are not HTTP, then closes
  /silent/...          never answers (holds the connection up to 30 s)
  anything else        the file FILES_DIR/<path> (the query left off) with
                       200, or 404 when there is no such file or no FILES_DIR
Only Python's standard library is used.
"""
import base64
import hashlib
import http.server
import os
import select
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def answer(self, code, payload=b""):
        self.send_response(code)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(payload)

    def serve(self):
        received = self.body()
        parts = self.path.split("?")[0].strip("/").split("/")
        kind = parts[0]
        if kind == "status":
            self.answer(int(parts[1]), b"<Error><Code>Fixture</Code></Error>")
        elif kind == "body":
            self.answer(200, b"b" * int(parts[1]))
        elif kind == "multierror":
            self.answer(200, b"<DeleteResult><Error><Key>a</Key><Code>AccessDenied</Code></Error></DeleteResult>")
        elif kind == "md5check":
            expected = base64.b64encode(hashlib.md5(received).digest()).decode()
            good = self.headers.get("Content-MD5") == expected and self.headers.get("Content-Type") == "text/xml"
            self.answer(204 if good else 400)
        elif kind == "garbage":
            self.wfile.write(b"this is not an http reply\r\n\r\n")
            self.close_connection = True
        elif kind == "silent":
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline:
                readable, _, _ = select.select([self.connection], [], [], 0.2)
                if readable and not self.connection.recv(1, 0):
                    break
            self.close_connection = True
        else:
            self.answer_file(parts)

    def answer_file(self, parts):
        root = self.server.files_dir
        if not root or any(p in ("", ".", "..") for p in parts):
            self.answer(404)
            return
        path = os.path.join(root, *parts)
        if not os.path.isfile(path):
            self.answer(404)
            return
        with open(path, "rb") as f:
            self.answer(200, f.read())

    do_GET = do_PUT = do_POST = do_DELETE = do_HEAD = serve


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.files_dir = argv[2] if len(argv) == 3 else None
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    temporary = os.path.join(argv[1], "port.txt.tmp")
    with open(temporary, "w") as out:
        out.write(str(server.server_address[1]))
    os.rename(temporary, os.path.join(argv[1], "port.txt"))
    started = time.monotonic()
    while time.monotonic() - started < 600:
        readable, _, _ = select.select([sys.stdin], [], [], 1.0)
        if readable and not sys.stdin.buffer.read1(4096):
            break
    server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main(list(sys.argv)))
