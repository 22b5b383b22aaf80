"""The management server: sign-in, a reply for every request, pushed notices.

Every request body is checked against the transcribed request tables
(mgr_tables) where the client's values are known: the id and the body length
always, and the camera field. Replies are built from the reply tables: the
reply id, its exact total and the camera at body 0.

The answers to device requests carry a known pattern (`pattern_byte`) after
the camera (and, in camera commands, after the sub-command), so a test can
tell which answer bytes reached the caller. An alarm or panorama picture is
the file given as `picture`, sent in 972-byte blocks; without one the camera
has no picture.
"""

import json
import socket
import struct

from . import card_index, cloud_sign, notices, tcp_service, wire

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
# Where a 'status' fault puts its value: reply id (or camera-command reply
# sub-command) -> body offset of the answer's status or result value.
STATUS_AT = {
    20200: 0,
    20283: 8, 20339: 8, 20340: 8, 20341: 8, 20276: 12, 20306: 24, 20349: 8,
    93004: 16 + 8,
}

# Alarm and panorama pictures.
PICTURE_REQUESTS = (20322, 20343)
PICTURE_REPLY = 20323
PICTURE_BLOCK_KIND = 61
PICTURE_BLOCK_DATA = 972
PICTURE_BLOCK_HEAD = 32
PICTURE_ID = 4242
PANORAMA_MODE = 2


def pattern_byte(i):
    """Byte i of a device answer's body (before the camera is written in)."""
    return (i * 7 + 3) & 0xFF


def body_with_camera(total, camera, fill=0x5A):
    body = bytearray([fill]) * (total - wire.HEADER.size)
    body[0:4] = struct.pack('<I', camera)
    return body


def patterned_body(total, camera):
    body = bytearray(pattern_byte(i) for i in range(total - wire.HEADER.size))
    body[0:4] = struct.pack('<I', camera)
    return body


def with_status(reply_id, reply, value):
    """The reply with its status value replaced, where it has one."""
    key = struct.unpack_from('<I', reply, 12)[0] if reply_id in (20401, 20403) else reply_id
    if key in STATUS_AT:
        reply = bytearray(reply)
        reply[STATUS_AT[key]:STATUS_AT[key] + 4] = struct.pack('<i', value)
    return reply


def picture_block(camera, index, count, data, status=None):
    """One 20323 block; `status` in place of the data length (0 no picture, -1 no card)."""
    head = bytearray(PICTURE_BLOCK_HEAD)
    head[0:4] = struct.pack('<I', camera)
    head[8:10] = struct.pack('<H', PICTURE_BLOCK_KIND)
    head[20:24] = struct.pack('<HH', index, count)
    head[24:28] = struct.pack('<i', len(data) if status is None else status)
    head[28:32] = struct.pack('<I', PICTURE_ID)
    return (PICTURE_REPLY, bytes(head) + data)


def picture_blocks(camera, fault, path):
    """The blocks of the picture file at `path`, or one block that says why
    there is none."""
    if fault and fault.kind == 'status':
        return [picture_block(camera, 0, 1, b'', fault.arg)]
    if not path:
        return [picture_block(camera, 0, 1, b'', 0)]
    with open(path, 'rb') as f:
        picture = f.read()
    pieces = [picture[i:i + PICTURE_BLOCK_DATA] for i in range(0, len(picture), PICTURE_BLOCK_DATA)]
    blocks = [picture_block(camera, i, len(pieces), piece) for i, piece in enumerate(pieces)]
    if fault and fault.kind == 'partial':
        blocks = blocks[:fault.arg]
    return blocks


class MgrService(tcp_service.Service):
    def __init__(self, faults, log_path=None, routes=None, picture=None, cloud_store=None, index_minutes=None,
                 index_faults=(), index_out=None, cameras=None):
        super().__init__(faults, log_path)
        # Per-camera answers from a camera file (camera_file), or None.
        self.cameras = cameras
        # The card's record index (card_index): recorded minutes of any day
        # searched, the delivery faults, and where the spans a correct client
        # finds are written (one JSON line per search).
        self.index_minutes = index_minutes or set()
        self.index_faults = list(index_faults)
        self.index_out = index_out
        self.picture = picture
        # The object store's "name=value" lines that the credentials answer
        # hands out, or None for a fixed answer that reaches no store.
        self.cloud_store = cloud_store
        # Answers for the play requests (video address, online state, ...)
        # when a test plays against simulated cameras; see play_routes.
        self.routes = routes
        self.clients = []

    def push(self, msg_id, camera):
        """Sends a notice to every connected client."""
        frame = wire.frame(*notices.notice(msg_id, camera))
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
                if fault and fault.kind == 'reset':
                    # A zero linger turns the close into a reset.
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
                    sock.close()
                    return
                if fault and fault.kind == 'stall':
                    continue
                if fault and fault.kind == 'error' and (sub or msg_id) in REFUSED_IDS:
                    refused = bytearray(16)
                    refused[0:4] = body[0:4]
                    refused[8:12] = struct.pack('<I', REFUSED_IDS[sub or msg_id])
                    sock.sendall(wire.frame(20351, bytes(refused)))
                    continue
                for reply_id, reply in self.answer(msg_id, sub, body, fault):
                    if fault and fault.kind == 'short':
                        reply = reply[:-(fault.arg or 4)]
                    if fault and fault.kind == 'status':
                        reply = with_status(reply_id, reply, fault.arg)
                    sock.sendall(wire.frame(reply_id, bytes(reply)))
        finally:
            with self.lock:
                self.clients.remove(sock)

    def answer(self, msg_id, sub, body, fault=None):
        camera = struct.unpack_from('<I', body, 0)[0] if len(body) >= 4 else 0
        if self.cameras is not None:
            named = self.cameras.answer(msg_id, sub, body)
            if named is not None:
                return named
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
            return [(reply_id, patterned_body(total, camera))]
        if msg_id == PICTURE_REQUESTS[0]:
            return picture_blocks(camera, fault, self.picture)
        if msg_id == PICTURE_REQUESTS[1] and len(body) >= 12 and struct.unpack_from('<I', body, 8)[0] == PANORAMA_MODE:
            return picture_blocks(camera, fault, self.picture)
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
            return self.camera_reply(msg_id, sub, camera, body)
        return []

    def camera_reply(self, msg_id, sub, camera, body=b""):
        def command(reply_id, reply_sub, inner):
            reply = body_with_camera(COMMAND_TOTAL, camera, 0)
            reply[12:16] = struct.pack('<I', reply_sub)
            reply[16:16 + len(inner)] = inner
            return (reply_id, reply)
        if sub in COMMAND_REPLIES:
            reply_id, reply_sub = COMMAND_REPLIES[sub]
            reply = patterned_body(COMMAND_TOTAL, camera)
            reply[12:16] = struct.pack('<I', reply_sub)
            return [(reply_id, reply)]
        if sub == CARD_INDEX_SEARCH:
            return self.card_index(camera, body)
        if sub == 90001:
            if self.cloud_store is not None:
                return [command(20403, reply_sub, inner)
                        for reply_sub, inner in cloud_sign.answers(camera, cloud_sign.read_store(self.cloud_store))]
            head = bytearray(220)
            head[24:88] = wire.text_field('bucket/cam%d' % camera, 64)
            pieces = [command(20403, 90003, struct.pack('<III', 0, 0, 0) + struct.pack('<II', n, 0)
                              + bytes([0x61 + n]) * 200) for n in range(10)]
            tail = bytearray(220)
            tail[12:76] = wire.text_field('127.0.0.1:5055', 64)
            return [command(20403, 90002, bytes(head))] + pieces + [command(20403, 90006, bytes(tail))]
        return []

    def card_index(self, camera, body):
        """The index packets of the searched day, each a notice 20374."""
        try:
            year, month, day = struct.unpack_from('<3i', body, CARD_INDEX_DAY_AT)
            card_index.day_start(year, month, day)
        except (struct.error, ValueError, OverflowError):
            return []
        order, received = card_index.packets(camera, year, month, day, self.index_minutes, self.index_faults)
        if self.index_out:
            spans = card_index.expected_spans(received, year, month, day)
            with self.lock, open(self.index_out, 'a', encoding='ascii') as out:
                out.write(json.dumps({'day': [year, month, day], 'spans': spans}) + '\n')
        return [notices.notice(notices.COMMAND_NOTICE, camera, p) for p in order]


# The card index search: its sub-command, and where its search record's start
# date lies in the request body (inner payload at 16: CAM, U, L, T, then the
# record, whose start time follows its first value).
CARD_INDEX_SEARCH = 20373
CARD_INDEX_DAY_AT = 16 + 16 + 4


def start(service, port):
    """Serves on 127.0.0.1:port (0 picks one); returns the server, already running."""
    return tcp_service.start(service, port)
