"""The camera's TF-card record index of one day, as the answer to a card
index search (camera command 20373) sends it: packets of 204 bytes, each
pushed as a notice 20374.

The index is a per-minute day index: 'V', the header length "16", the slot
length "60", ten filler bytes, the completion mark '1', then one flag byte per
minute of the day (1440). A recorded minute where a file starts carries the
flags 0x81 (bit 7 counts 100, bit 0 counts 1); any other minute 0.

It goes out in pieces of at most 180 bytes, one per packet (little-endian):

    0   a value (the camera)       12  index of the last packet
    4   a value (0)                16  this packet's index
    8   the day's start, seconds   20  data length (<= 180)
        since 1970 (local midnight) 24  the data, zero-padded to 180

The search names its day by its start time (year, month, day) in the search
record. Faults shape the delivery: `shuffle` sends every packet but the last
in a seeded shuffled order (the last stays last), `duplicate` sends packet 1
twice, `wrong-day` first sends a copy of the last packet naming the previous
day with every minute recorded, `drop:N` leaves packet N out, `all-wrong-day`
names the previous day in every packet.

`expected_spans` gives what a correct client makes of what was sent: the
(start, end) seconds of every minute where a file starts, with a dropped
packet's bytes read as zeros (so without the first packet there is no index).
"""

import random
import struct
import time

HEADER = b'V1660' + b'0' * 10 + b'1'
MINUTES = 1440
RECORDED = 0x81
PIECE = 180
PACKET = 204
DAY_SECONDS = 86400


def parse_minutes(text):
    """"0-4,30,1439" -> the set of minutes."""
    minutes = set()
    for part in filter(None, (text or '').split(',')):
        low, _, high = part.partition('-')
        minutes.update(range(int(low), int(high or low) + 1))
    return {m for m in minutes if 0 <= m < MINUTES}


def day_start(year, month, day):
    """Local midnight of the day in seconds since 1970."""
    return int(time.mktime((year, month, day, 0, 0, 0, 0, 0, -1)))


def index_bytes(minutes):
    return HEADER + bytes(RECORDED if m in minutes else 0 for m in range(MINUTES))


def packet(camera, start, last, number, data):
    return (struct.pack('<IIIiiI', camera, 0, start & 0xFFFFFFFF, last, number, len(data))
            + data + bytes(PIECE - len(data)))


def packets(camera, year, month, day, minutes, faults, seed=1):
    """The packets to send, in sending order, and the index a correct client
    assembles from them (bytes)."""
    index = index_bytes(minutes)
    pieces = [index[i:i + PIECE] for i in range(0, len(index), PIECE)]
    last = len(pieces) - 1
    start = day_start(year, month, day)
    sent_start = start - DAY_SECONDS if 'all-wrong-day' in faults else start
    numbered = [(n, packet(camera, sent_start, last, n, piece)) for n, piece in enumerate(pieces)]
    dropped = {int(f.split(':')[1]) for f in faults if f.startswith('drop:')}
    received = b''.join(bytes(PIECE) if n in dropped else piece for n, piece in enumerate(pieces))
    order = [p for n, p in numbered if n not in dropped]
    if 'shuffle' in faults and len(order) > 2:
        head = order[:-1]
        random.Random(seed).shuffle(head)
        order = head + order[-1:]
    if 'duplicate' in faults and len(order) > 1:
        order.insert(2, order[1])
    if 'wrong-day' in faults:
        order.insert(0, packet(camera, start - DAY_SECONDS, last, last, bytes([RECORDED]) * len(pieces[-1])))
    return order, received


def expected_spans(received, year, month, day):
    """(start, end) of every minute whose flags mark a file start; the
    recorder writes these times as standard time. An index without its
    leading 'V' (its first packet lost) is no index."""
    spans = []
    if received[:1] != b'V':
        return spans
    for minute, flags in enumerate(received[len(HEADER):len(HEADER) + MINUTES]):
        total = (flags & 1) + (flags & 2) + (flags & 4) + (100 if flags & 0x80 else 0)
        if total >= 100:
            begin = int(time.mktime((year, month, day, 0, minute, 0, 0, 0, 0)))
            spans.append((begin, begin + 60))
    return spans
