"""The management server: sign-in, a reply for every request, pushed notices.

Every request body is checked against the transcribed request tables
(mgr_tables) where the client's values are known: the id and the body length
always, and the camera field. Replies are built from the reply tables: the
reply id, its exact total and the camera at body 0.
"""

import json
import struct
import threading

from . import tcp_service, wire

# Request id -> (reply id, reply total). Replies carry the camera at body 0.
PLAIN_REPLIES = {
    20282: (20283, 36), 20333: (20339, 36), 20335: (20340, 32), 20337: (20341, 32), 20324: (20325, 44),
    20275: (20276, 44), 20250: (20251, 96), 20326: (20327, 136), 20330: (20331, 60), 20344: (20345, 52),
    20346: (20347, 40), 20348: (20349, 32), 20357: (20358, 36), 20368: (20369, 92), 20305: (20306, 60),
}
# Camera-command sub-command -> (reply id, reply sub-command).
COMMAND_REPLIES = {
    20371: (20401, 20372), 20376: (20401, 20377), 20379: (20401, 20380), 20382: (20401, 20383),
    20391: (20401, 20392), 93001: (20401, 93002), 93003: (20401, 93004), 94002: (20401, 94003),
    90004: (20403, 90005),
}
COMMAND_TOTAL = 256
# Requests the camera may refuse with 20351, and the id the refusal names.
REFUSED_IDS = {20348: 20348, 20352: 20352, 20357: 20357, 20368: 20368, 20370: 20370, 20371: 20372}


def body_with_camera(total, camera, fill=0x5A):
    body = bytearray([fill]) * (total - wire.HEADER.size)
    body[0:4] = struct.pack('<I', camera)
    return body


class MgrService:
    def __init__(self, faults, log_path=None, routes=None):
        self.faults = faults
        # Answers for the play requests (video address, online state, ...)
        # when a test plays against simulated cameras; see play_routes.
        self.routes = routes
        self.log = open(log_path, 'a', encoding='utf-8') if log_path else None
        self.lock = threading.Lock()
        self.clients = []

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

    def push(self, msg_id, camera):
        """Sends a notice to every connected client."""
        totals = {20206: 28, 20207: 28, 20240: 60, 20320: 64}
        body = body_with_camera(totals.get(msg_id, 60), camera)
        if msg_id in (20206, 20207):
            # A camera notice names the camera second, after the login number.
            body[0:8] = struct.pack('<II', 0, camera)
        frame = wire.frame(msg_id, bytes(body))
        with self.lock:
            clients = list(self.clients)
        for sock in clients:
            try:
                sock.sendall(frame)
            except OSError:
                pass

    def serve(self, sock):
        with self.lock:
            self.clients.append(sock)
        try:
            while True:
                got = wire.read_frame(sock)
                if got is None:
                    return
                msg_id, version, total, raw = got
                body = raw[wire.HEADER.size:]
                sub = struct.unpack_from('<I', body, 12)[0] if msg_id in (20400, 20402) and len(body) >= 16 else 0
                self.record({'id': msg_id, 'sub': sub, 'total': total, 'body': body.hex()})
                fault = self.fault(sub or msg_id)
                if fault and fault.kind == 'close':
                    return
                if fault and fault.kind == 'stall':
                    continue
                if fault and fault.kind == 'error' and (sub or msg_id) in REFUSED_IDS:
                    refused = bytearray(16)
                    refused[0:4] = body[0:4]
                    refused[8:12] = struct.pack('<I', REFUSED_IDS[sub or msg_id])
                    sock.sendall(wire.frame(20351, bytes(refused)))
                    continue
                for reply_id, reply in self.answer(msg_id, sub, body):
                    if fault and fault.kind == 'short':
                        reply = reply[:-4]
                    sock.sendall(wire.frame(reply_id, bytes(reply)))
        finally:
            with self.lock:
                self.clients.remove(sock)

    def answer(self, msg_id, sub, body):
        camera = struct.unpack_from('<I', body, 0)[0] if len(body) >= 4 else 0
        if self.routes is not None:
            routed = self.routes.answer(msg_id, sub, body)
            if routed is not None:
                return routed
        if msg_id == 1:
            # The heartbeat: any message back shows the server is alive.
            return [(1, bytes(body))]
        if msg_id == 20200:
            return [(20200, bytes(152 - wire.HEADER.size))]
        if msg_id in PLAIN_REPLIES:
            reply_id, total = PLAIN_REPLIES[msg_id]
            return [(reply_id, body_with_camera(total, camera))]
        if msg_id == 20352:
            reply = body_with_camera(256, camera, 0)
            reply[8:12] = struct.pack('<HH', 1, 28)
            reply[36:64] = bytes(range(1, 29))
            return [(20353, reply)]
        if msg_id == 20226:
            reply = body_with_camera(2664, camera, 0x33)
            reply[16:20] = struct.pack('<I', 2)
            return [(20227, reply)]
        if msg_id == 20203:
            return [(20204, body_with_camera(60, camera))]
        if msg_id == 20202:
            reply = bytearray(struct.pack('<IIII', 0, camera, 1, 41)) + bytes(8)
            return [(20202, reply)]
        if msg_id in (20400, 20402):
            return self.camera_reply(msg_id, sub, camera)
        return []

    def camera_reply(self, msg_id, sub, camera):
        def command(reply_id, reply_sub, inner):
            reply = body_with_camera(COMMAND_TOTAL, camera, 0)
            reply[12:16] = struct.pack('<I', reply_sub)
            reply[16:16 + len(inner)] = inner
            return (reply_id, reply)
        if sub in COMMAND_REPLIES:
            reply_id, reply_sub = COMMAND_REPLIES[sub]
            return [command(reply_id, reply_sub, bytes([0x44]) * 220)]
        if sub == 90001:
            head = bytearray(220)
            head[24:88] = wire.text_field('bucket/cam%d' % camera, 64)
            pieces = [command(20403, 90003, struct.pack('<III', 0, 0, 0) + struct.pack('<II', n, 0)
                              + bytes([0x61 + n]) * 200) for n in range(10)]
            tail = bytearray(220)
            tail[12:76] = wire.text_field('127.0.0.1:5055', 64)
            return [command(20403, 90002, bytes(head))] + pieces + [command(20403, 90006, bytes(tail))]
        return []


def start(service, port):
    """Serves on 127.0.0.1:port (0 picks one); returns the server, already running."""
    return tcp_service.start(service, port)
