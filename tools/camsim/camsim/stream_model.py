"""A seeded frame stream and the frames a correct receiver takes from it.

The receiver's rules, from the wire format: frames start with the magic; a
header whose total length lies outside 20..12288 costs its 20 bytes and the
scan goes on behind them; bytes before a magic are dropped; an incomplete frame
waits for more bytes. Over UDP every datagram is scanned on its own, and a
datagram larger than the receive buffer (12288 bytes) is dropped whole.
"""

import hashlib
import json
import random
import socket
import struct
import time

from . import wire

BUFFER = 12288


def reference_scan(data):
    """(id, length, sha1) of every frame a correct receiver delivers from `data`."""
    frames = []
    pos = 0
    while len(data) - pos >= wire.HEADER.size:
        magic, = struct.unpack_from('<I', data, pos)
        if magic != wire.MAGIC:
            pos += 1
            continue
        total, = struct.unpack_from('<I', data, pos + 12)
        if total < wire.HEADER.size or total > wire.MAX_TOTAL:
            pos += wire.HEADER.size
            continue
        if len(data) - pos < total:
            break
        chunk = data[pos:pos + total]
        msg_id, = struct.unpack_from('<I', chunk, 4)
        frames.append({'id': msg_id, 'length': total, 'sha1': hashlib.sha1(chunk).hexdigest()})
        pos += total
    return frames


def random_item(rng):
    kind = rng.random()
    msg_id = rng.randint(1, 50000)
    if kind < 0.45:
        return wire.frame(msg_id, rng.randbytes(rng.randint(0, 600)))
    if kind < 0.55:
        return rng.randbytes(rng.randint(1, 40))
    if kind < 0.62:
        return wire.frame(msg_id, rng.randbytes(wire.MAX_TOTAL - wire.HEADER.size))
    if kind < 0.69:
        # One byte too long: only the header is dropped, its body is scanned.
        return wire.frame(msg_id, rng.randbytes(50), total=wire.MAX_TOTAL + 1)
    if kind < 0.74:
        return wire.frame(msg_id, b'', total=rng.randint(0, 19))
    if kind < 0.80:
        return bytes(rng.choice(range(0x00, 0xCC)) for _ in range(19))
    if kind < 0.86:
        # A header followed by less than its total: completed by what follows.
        return wire.frame(msg_id, rng.randbytes(100), total=120 + 100)[:-rng.randint(1, 100)]
    return wire.frame(msg_id, rng.randbytes(rng.randint(0, 40)))


def run(args):
    rng = random.Random(args.seed)
    if args.udp:
        datagrams = []
        for _ in range(args.items):
            datagram = b''.join(random_item(rng) for _ in range(rng.randint(1, 3)))
            if rng.random() < 0.03:
                datagram += rng.randbytes(BUFFER)  # too large for the receive buffer
            datagrams.append(datagram)
        expected = []
        for datagram in datagrams:
            if len(datagram) <= BUFFER:
                expected.extend(reference_scan(datagram))
        write_expect(args.expect, expected)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
            # Paced, so that a slow receiver (a sanitizer build) loses nothing
            # to a full socket buffer.
            for datagram in datagrams:
                sock.sendto(datagram, ('127.0.0.1', args.port))
                time.sleep(0.003)
        return 0
    data = b''.join(random_item(rng) for _ in range(args.items))
    write_expect(args.expect, reference_scan(data))
    with socket.create_connection(('127.0.0.1', args.port), timeout=10) as sock:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        pos = 0
        while pos < len(data):
            cut = rng.choice((1, 2, 7, 19, 20, 21, 512, 3000, 12288, 12289))
            sock.sendall(data[pos:pos + cut])
            pos += cut
    return 0


def write_expect(path, frames):
    with open(path, 'w', encoding='ascii') as f:
        for entry in frames:
            f.write(json.dumps(entry) + '\n')
