"""The login server: salts, sign-in, account messages and device lists."""

import hashlib
import random
import secrets
import socket
import struct

from . import tcp_service, wire

# Error codes this server sends in error answers.
BAD_PASSWORD = 10103
NOT_SIGNED_IN = 10105
NO_SALT = 10107

DEVICE_RECORD = 240
PAGE_LIMIT = 50

# Answer totals of the messages whose answers carry nothing of interest here.
FIXED_TOTALS = {
    10011: 28, 10019: 92, 10024: 24, 10025: 92, 10027: 88, 10028: 86, 10031: 24,
    10038: 24, 10039: 172, 10041: 84, 10044: 32, 10049: 260,
}
FREE_LENGTH = (10012, 10013, 10014, 10016, 10022, 10023, 10029, 10032, 10045)


def md5_hex(text):
    return hashlib.md5(text.encode('utf-8')).hexdigest()


def salted(password, salt):
    return md5_hex(md5_hex(password) + salt)


class Fault:
    """A misbehaviour for one message id (0: every id), as KIND[:ID[:ARG]].

    stall: no answer; short: a shorter answer (the management server cuts ARG
    bytes, 4 when not given); error: an error answer (the management server:
    the refusal 20351);
    close: the connection closed; reset: the connection reset (the management
    server: closed without a farewell, so the client reads a reset); overcount, empty: a device list that claims
    too many records or holds none; status: the answer's status value is ARG;
    partial: of a picture only the first ARG blocks are sent.
    """

    KINDS = ('stall', 'short', 'error', 'close', 'reset', 'overcount', 'empty', 'status', 'partial')

    def __init__(self, text):
        parts = text.split(':')
        self.kind = parts[0]
        self.msg_id = int(parts[1]) if len(parts) > 1 else 0
        self.arg = int(parts[2]) if len(parts) > 2 else 0
        if self.kind not in self.KINDS:
            raise ValueError('unknown fault %s' % text)

    def applies(self, msg_id):
        return self.msg_id in (0, msg_id)


def device_record(device_id, index, kind, identity=None, model=None, name=None, text=None, short_text='v1'):
    """A 240-byte device record: id, identity 64, model 64, name 32, text 64,
    a value (the index), a short text 8."""
    return (struct.pack('<I', device_id)
            + wire.text_field(identity if identity is not None else 'DEV%06d' % device_id, 64)
            + wire.text_field(model if model is not None else 'QNP2-%s-360' % ('SH' if kind else 'OW'), 64)
            + wire.text_field(name if name is not None else 'camera %d' % index, 32)
            + wire.text_field(text if text is not None else 'kind %d' % kind, 64)
            + struct.pack('<I', index)
            + wire.text_field(short_text, 8))


def read_device_file(path):
    """The devices of a JSON file: a list of objects with "identity", "model",
    "name" (a shared device's "name@sharer"), "text", and optionally "id",
    "shared" (true for a device shared to the account) and "short_text".
    Returns {0: own records, 1: shared records}, each a list of 240 bytes."""
    import json
    with open(path, encoding='utf-8') as f:
        devices = json.load(f)
    records = {0: [], 1: []}
    for number, device in enumerate(devices):
        kind = 1 if device.get('shared') else 0
        index = len(records[kind])
        device_id = int(device.get('id', (8000 if kind else 1000) + index))
        records[kind].append(device_record(device_id, index, kind, device.get('identity', ''), device.get('model', ''),
                                           device.get('name', ''), device.get('text', ''),
                                           device.get('short_text', 'v1')))
    return records


class LoginService(tcp_service.Service):
    def __init__(self, accounts, own_devices, shared_devices, faults, mgr_port, log_path=None, chunk_seed=None,
                 device_records=None):
        super().__init__(faults, log_path)
        self.accounts = accounts            # name -> password
        # Records from a device file replace the numbered devices.
        self.device_records = device_records
        if device_records is not None:
            own_devices, shared_devices = len(device_records[0]), len(device_records[1])
        self.devices = {0: own_devices, 1: shared_devices}
        self.mgr_port = mgr_port
        self.sessions = {}                  # token -> user id
        self.chunks = random.Random(chunk_seed) if chunk_seed is not None else None
        self.next_user = 5001

    def send(self, sock, data):
        if self.chunks is None:
            sock.sendall(data)
            return
        while data:
            cut = self.chunks.randint(1, 64)
            sock.sendall(data[:cut])
            data = data[cut:]

    def serve(self, sock):
        state = {'salt': None, 'share_salt': None}
        while True:
            got = wire.read_frame(sock)
            if got is None:
                return
            msg_id, version, total, raw = got
            body = raw[wire.HEADER.size:]
            entry = {'id': msg_id, 'version': version, 'total': total, 'header': raw[:20].hex(), 'body': body.hex()}
            fault = self.fault(msg_id)
            if fault and fault.kind == 'close':
                self.record(entry)
                return
            if fault and fault.kind == 'stall':
                self.record(entry)
                continue
            if fault and fault.kind == 'error':
                self.record(entry)
                self.send(sock, wire.error_frame(msg_id, fault.arg))
                continue
            answer = self.answer(msg_id, body, state, fault, entry)
            self.record(entry)
            if answer is not None:
                self.send(sock, answer)

    def answer(self, msg_id, body, state, fault, entry):
        if msg_id in (10030, 10047):
            salt = secrets.token_hex(8)
            state['salt' if msg_id == 10030 else 'share_salt'] = salt
            entry['salt'] = salt
            return wire.frame(msg_id, salt.encode('ascii'))
        if msg_id == 10001:
            return self.sign_in(body, state, fault, entry)
        if msg_id == 10020:
            return self.device_page(body, fault)
        if msg_id == 10042:
            return self.share(body, state)
        if msg_id == 10043:
            shares = [struct.pack('<I', 900 + i) + wire.text_field('friend%d' % i, 64) for i in range(3)]
            return wire.frame(msg_id, struct.pack('<III', 0, 0, len(shares)) + b''.join(shares))
        if msg_id == 10048:
            # Two main devices: the head announces how much follows.
            return wire.frame(msg_id, struct.pack('<IHHI', 2, 0, 1, 0) + bytes(2 * 4 + 524 - 12))
        if msg_id in FIXED_TOTALS:
            size = FIXED_TOTALS[msg_id] - wire.HEADER.size
            if fault and fault.kind == 'short':
                size -= 4
            payload = bytearray(size)
            payload[:4] = struct.pack('<I', 4242)
            return wire.frame(msg_id, bytes(payload))
        if msg_id in FREE_LENGTH:
            return wire.frame(msg_id, struct.pack('<I', 0) + wire.text_field('v2.4.1', 60))
        return None

    def sign_in(self, body, state, fault, entry):
        account = wire.field_text(body[0:64])
        digest = wire.field_text(body[64:128])
        salt = state['salt']
        if salt is None:
            return wire.error_frame(10001, NO_SALT)
        password = self.accounts.get(account)
        entry['password_ok'] = password is not None and digest == salted(password, salt)
        if not entry['password_ok']:
            return wire.error_frame(10001, BAD_PASSWORD)
        with self.lock:
            user_id = self.next_user
            self.next_user += 1
            token = hashlib.sha256(('%s/%d' % (account, user_id)).encode()).digest() * 4
            self.sessions[token] = user_id
        answer = (struct.pack('<I', user_id) + socket.inet_aton('127.0.0.1') + struct.pack('<HH', self.mgr_port, 0)
                  + struct.pack('<I', 77) + bytes(8) + token + bytes(4))
        if fault and fault.kind == 'short':
            answer = answer[:-6]
        return wire.frame(10001, answer)

    def device_page(self, body, fault):
        user_id, one, kind, first, per_page, two, zero = struct.unpack('<IIIHHHH', body[:20])
        token = body[20:148]
        if self.sessions.get(token) != user_id:
            return wire.error_frame(10020, NOT_SIGNED_IN)
        total = self.devices.get(kind, 0)
        count = max(0, min(per_page, PAGE_LIMIT, total - first))
        base = 1000 if kind == 0 else 8000
        announced = count
        if fault and fault.kind == 'empty':
            count = announced = 0
        if fault and fault.kind == 'overcount':
            count = announced = PAGE_LIMIT + 1
        if self.device_records is not None and not (fault and fault.kind == 'overcount'):
            records = self.device_records.get(kind, [])[first:first + count]
        else:
            records = [device_record(base + first + i, first + i, kind) for i in range(count)]
        if fault and fault.kind == 'short' and records:
            records.pop()
        head = struct.pack('<IHHI', total, 0, announced, 0)
        return wire.frame(10020, head + b''.join(records))

    def share(self, body, state):
        sharer = wire.field_text(body[8:72])
        digest = wire.field_text(body[136:200])
        password = self.accounts.get(sharer)
        ok = state['share_salt'] is not None and password is not None and digest == salted(password, state['share_salt'])
        payload = bytearray(96 - wire.HEADER.size)
        payload[72:76] = struct.pack('<I', 1 if ok else 0)
        return wire.frame(10042, bytes(payload))


def start(service, port):
    """Serves on 127.0.0.1:port (0 picks one); returns the server, already running."""
    return tcp_service.start(service, port)
