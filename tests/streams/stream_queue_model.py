#!/usr/bin/env python3
"""Reference model of the frame queue, checked against a trace of the real one.

The trace (written by streams_queue_test) holds one line per call with its
arguments and everything the queue answered. This model replays the calls on
a plain representation (a list of slots per ring, a list of the byte ranges
still unread per pool) and stops at the first answer that differs. Frame
bytes are never in the trace: put k carries the bytes (seed + i) mod 256,
and a read reports the CRC-32 of what it found.

Usage: stream_queue_model.py [--coverage] TRACE
Exit 0 when every answer agrees; with --coverage the trace must also have
exercised pool wraps, refusals for want of room, audio merges and gap slots.
"""
import struct
import sys
import zlib

SETS = {  # video slots, video pool, audio slots, audio pool
    "large": (512, 4 << 20, 5120, 2 << 20),
    "small": (256, 1 << 20, 256, 256 << 10),
}
MERGE_LIMIT = 4095
END_RESERVE = 16384
LENGTH_LIMIT = (1 << 20) - 1
BASE = bytes(range(256))
SEEN = {"wrap": 0, "no room": 0, "merge": 0, "gap": 0, "gap read": 0}


def frame_bytes(seed, length):
    start = seed % 256
    rotated = BASE[start:] + BASE[:start]
    return (rotated * (length // 256 + 1))[:length]


def float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def thousandths(part, whole):
    return (part * 1000 + whole // 2) // whole


class Pool:
    def __init__(self, size):
        self.size = size
        self.write = 0
        self.live = []  # [offset, length] of unread pieces, oldest first

    def in_use(self):
        return sum(length for _, length in self.live)

    def read_position(self):
        return self.live[0][0] if self.live else self.write

    def fits(self, start, length, grow_of=None):
        """The range is inside the pool, overlaps nothing unread, and does
        not end exactly at the oldest unread byte (the writer never closes
        up to the reader)."""
        if start + length > self.size:
            return False
        for piece in self.live:
            if piece is grow_of:
                continue
            if start < piece[0] + piece[1] and piece[0] < start + length:
                return False
        if self.live and self.live[0] is not grow_of and start < self.live[0][0] == start + length:
            return False
        return True

    def place(self, length, limit):
        limit = min(limit, self.size)
        if length > limit:
            return None
        start = self.write if self.write + length < limit else 0
        return start if self.fits(start, length) else None

    def take(self, start, length):
        if start != self.write:
            SEEN["wrap"] += 1
        piece = [start, length]
        self.live.append(piece)
        self.write = start + length
        return piece

    def grow(self, piece, length):
        if not self.fits(self.write, length, grow_of=piece):
            return False
        piece[1] += length
        self.write += length
        return True

    def free(self, piece):
        assert self.live and self.live[0] is piece, "pieces are freed oldest first"
        self.live.pop(0)


class Ring:
    def __init__(self, slots, pool_size):
        self.count = slots
        self.pool = Pool(pool_size)
        self.slots = []  # oldest first; dicts
        self.queued = 0
        self.last_frame = None
        self.open_audio = None
        self.reading = False


class Model:
    def __init__(self, name):
        video_slots, video_pool, audio_slots, audio_pool = SETS[name]
        self.large = name == "large"
        self.video = Ring(video_slots, video_pool)
        self.audio = Ring(audio_slots, audio_pool)
        self.open = False
        self.owner = 0
        self.need_cache = False
        self.cache_filled = False
        self.cache_level = 20

    def empty(self):
        self.video = Ring(self.video.count, self.video.pool.size)
        self.audio = Ring(self.audio.count, self.audio.pool.size)
        self.cache_level = 20
        self.cache_filled = False

    def ring(self, kind):
        return {1: self.video, 3: self.video, 2: self.audio}.get(kind)

    def admits(self, owner):
        return self.open and owner != 0 and owner == self.owner

    def stats(self, ring, slot):
        pool = ring.pool
        word = (thousandths(pool.in_use(), pool.size) & 0x3FF) << 6
        word |= (thousandths(len(ring.slots), ring.count) & 0x3FF) << 16
        word |= (ring.queued & 0x3FF) << 26
        word |= (self.cache_level & 0x3FF) << 36
        answer = [0, (pool.write + 512) // 1024, (pool.read_position() + 512) // 1024, 0, 0, 0, 0, "0", 0]
        if slot is not None:
            word |= (1 if slot["gap"] else 0) | (2 if slot["key"] else 0)
            answer[3:] = [slot["first"], slot["last"], slot["w"], slot["h"], "%.6g" % slot["rate"], slot["value"]]
        answer[0] = word
        return [str(v) for v in answer]

    # --- calls -----------------------------------------------------------

    def open_queue(self, owner):
        valid = 1 <= owner <= 7 if self.large else owner > 0
        if not valid or (self.owner not in (0, owner)):
            return ["0"]
        self.empty()
        self.owner, self.open = owner, True
        return ["1"]

    def close(self, owner):
        if not self.admits(owner):
            return ["0"]
        self.empty()
        self.owner, self.open = 0, False
        return ["1"]

    def clear(self, owner):
        if not self.admits(owner):
            return ["0"]
        self.empty()
        return ["1"]

    def put(self, owner, kind, number, key, length, seed, value, rate_byte, width, height):
        ring = self.ring(kind)
        if not self.admits(owner) or ring is None or length == 0:
            return ["0"]
        if length > min(ring.pool.size - END_RESERVE, LENGTH_LIMIT):
            return ["0"]
        frame = {"gap": False, "filled": True, "key": key, "first": number, "last": number,
                 "w": 0, "h": 0, "rate": 0.0, "value": 0 if self.large else value, "pieces": [(seed, length)], "length": length}
        if self.large and ring is self.video:
            frame["w"], frame["h"] = width & 0xFFFF, height & 0xFFFF
            frame["rate"] = 0.0 if rate_byte == 0 else (
                float(rate_byte) if rate_byte <= 30 else float32(1.0 / (rate_byte - 30)))
        slot = self.put_video(ring, frame) if ring is self.video else self.put_audio(ring, frame)
        if slot is None:
            return ["0"]
        if ring is self.video and self.need_cache and not self.cache_filled and ring.queued > self.cache_level:
            self.cache_filled = True
        return ["1"] + self.stats(ring, slot)

    def start_slot(self, ring, frame, footprint, limit):
        gap = ring.last_frame is not None and ring.last_frame + 1 < frame["first"]
        if ring.count - 1 - len(ring.slots) < (2 if gap else 1):
            return None
        start = ring.pool.place(footprint, limit)
        if start is None:
            SEEN["no room"] += 1
            return None
        if gap:
            SEEN["gap"] += 1
            ring.slots.append({"gap": True, "filled": True, "key": False, "first": ring.last_frame + 1,
                               "last": frame["first"] - 1, "w": 0, "h": 0, "rate": 0.0, "value": 0,
                               "pieces": [], "length": 0, "piece": None})
            ring.queued += frame["first"] - 1 - ring.last_frame
        frame["piece"] = ring.pool.take(start, footprint)
        ring.slots.append(frame)
        ring.queued += 1
        ring.last_frame = frame["first"]
        return frame

    def put_video(self, ring, frame):
        return self.start_slot(ring, frame, (frame["length"] + 7) // 8 * 8, ring.pool.size)

    def put_audio(self, ring, frame):
        merging = ring.open_audio
        if (merging is not None and merging["first"] == frame["first"] and merging["length"] <= MERGE_LIMIT
                and ring.pool.grow(merging["piece"], frame["length"])):
            SEEN["merge"] += 1
            merging["pieces"] += frame["pieces"]
            merging["length"] += frame["length"]
            if merging["length"] > MERGE_LIMIT:
                merging["filled"] = True
                ring.open_audio = None
            return merging
        slot = self.start_slot(ring, frame, frame["length"], ring.pool.size - END_RESERVE + 1)
        if slot is None:
            return None
        if merging is not None:
            merging["filled"] = True
        slot["filled"] = slot["length"] > MERGE_LIMIT
        ring.open_audio = None if slot["filled"] else slot
        return slot

    def read(self, owner, kind):
        ring = self.ring(kind)
        if not self.admits(owner) or ring is None or (self.need_cache and not self.cache_filled):
            return ["0"]
        if not ring.slots or not ring.slots[0]["filled"]:
            return ["0"]
        ring.reading = True
        slot = ring.slots[0]
        SEEN["gap read"] += slot["gap"]
        data = b"".join(frame_bytes(seed, length) for seed, length in slot["pieces"])
        return ["1", str(slot["length"]), str(zlib.crc32(data))] + self.stats(ring, slot)

    def release(self, owner, kind):
        ring = self.ring(kind)
        if not self.admits(owner) or ring is None or not ring.reading:
            return ["0"]
        slot = ring.slots.pop(0)
        if slot["piece"] is not None:
            ring.pool.free(slot["piece"])
        ring.queued = max(0, ring.queued - (slot["last"] - slot["first"] + 1))
        ring.reading = False
        if ring is self.video and self.need_cache and self.cache_filled and ring.queued < 4:
            self.cache_level = min(self.cache_level + 10, 80)
            self.cache_filled = False
        return ["1"]

    def state(self, owner):
        if not self.admits(owner):
            return ["0"]
        return ["1"] + self.stats(self.video, None)

    def command(self, owner, name, value):
        if not self.admits(owner):
            return ["0"]
        if name == "clear_all":
            self.empty()
            return ["1"]
        if name == "need_cache" and value in ("y", "n"):
            self.need_cache = value == "y"
            return ["1"]
        return ["0"]


def replay(lines):
    model = None
    checked = 0
    for number, line in enumerate(lines, 1):
        call, _, answer = line.rstrip("\n").partition(" | ")
        fields = call.split()
        if not fields:
            continue
        op, args = fields[0], fields[1:]
        if op == "set":
            model = Model(args[0])
            continue
        ints = [int(a) for a in args] if op not in ("command",) else [int(args[0])] + args[1:]
        expected = {
            "open": lambda: model.open_queue(*ints),
            "close": lambda: model.close(*ints),
            "clear": lambda: model.clear(*ints),
            "put": lambda: model.put(*ints),
            "read": lambda: model.read(*ints),
            "release": lambda: model.release(*ints),
            "state": lambda: model.state(*ints),
            "command": lambda: model.command(ints[0], ints[1], ints[2] if len(ints) > 2 else ""),
        }[op]()
        if answer.split() != expected:
            print("line %d: %s\n  queue: %s\n  model: %s" % (number, call, answer, " ".join(expected)))
            return 1
        checked += 1
    print("%d calls agree; seen: %s" % (checked, ", ".join("%s %d" % item for item in SEEN.items())))
    return 0


if __name__ == "__main__":
    coverage = sys.argv[1] == "--coverage"
    with open(sys.argv[-1]) as trace:
        result = replay(trace.readlines())
    if result == 0 and coverage and not all(SEEN.values()):
        print("the trace left cases unexercised")
        result = 1
    sys.exit(result)
