"""One threaded TCP server on loopback for any simulated service with a
`serve(connection)` method, and what those services share."""

import json
import socketserver
import threading


class Service:
    """A simulated server's faults and its log of one JSON line per frame
    received."""

    def __init__(self, faults, log_path=None):
        self.faults = faults
        self.lock = threading.Lock()
        self.log = open(log_path, 'a', encoding='utf-8') if log_path else None

    def fault(self, msg_id):
        for f in self.faults:
            if f.applies(msg_id):
                return f
        return None

    def record(self, entry):
        if self.log:
            with self.lock:
                self.log.write(json.dumps(entry) + '\n')
                self.log.flush()


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        try:
            self.server.service.serve(self.request)
        except (ValueError, OSError):  # a peer that left or sent garbage ends its connection only
            pass


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def start(service, port):
    """Serves on 127.0.0.1:port (0 picks one); returns the server, already running."""
    server = _Server(('127.0.0.1', port), _Handler)
    server.service = service
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
