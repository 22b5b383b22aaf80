"""The message frame: a 20-byte little-endian header, then the body."""

import struct

MAGIC = 0xFFEEDDCC
VERSION = 0x690000 | 4835
HEADER = struct.Struct('<5I')
MAX_TOTAL = 12288
ERROR_TOTAL = 152


def frame(msg_id, body=b'', total=None):
    """A frame with the given id and body; `total` overrides the length field."""
    if total is None:
        total = len(body) + HEADER.size
    return HEADER.pack(MAGIC, msg_id, VERSION, total, 0) + body


def error_frame(msg_id, code):
    """An error answer: total length 152, the code first in its body."""
    body = struct.pack('<I', code) + bytes(ERROR_TOTAL - HEADER.size - 4)
    return frame(msg_id, body)


def read_frame(sock):
    """The next frame from a stream socket as (id, version, total, body), or None at its end."""
    head = _read_exact(sock, HEADER.size)
    if head is None:
        return None
    magic, msg_id, version, total, _ = HEADER.unpack(head)
    if magic != MAGIC or total < HEADER.size or total > MAX_TOTAL:
        raise ValueError('bad header %r' % head.hex())
    body = _read_exact(sock, total - HEADER.size)
    if body is None:
        return None
    return msg_id, version, total, head + body


def _read_exact(sock, count):
    data = b''
    while len(data) < count:
        piece = sock.recv(count - len(data))
        if not piece:
            return None
        data += piece
    return data


def text_field(text, width):
    """A zero-padded text field of fixed width."""
    raw = text.encode('utf-8')[:width]
    return raw + bytes(width - len(raw))


def field_text(raw):
    """The text of a fixed-width field, up to its first zero byte."""
    return raw.split(b'\0', 1)[0].decode('utf-8', 'replace')
