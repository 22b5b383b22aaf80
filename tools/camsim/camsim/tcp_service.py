"""One threaded TCP server on loopback for any simulated service with a
`serve(connection)` method."""

import socketserver
import threading


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
