#!/usr/bin/env python3
"""Independent model of basekit's compressed-buffer format.

Compressed buffer: the marker EB 90 EB 90 EB 90 EB 90, then LZW codes of 9 to
15 bits, most significant bit first, the last byte padded with zero bits.
Code 256 ends the stream, 257 widens codes by one bit, 258 restarts the
dictionary; new strings take codes from 259 up to 32767.

This model keeps its dictionary in Python dicts keyed by (prefix code, byte),
so that it shares nothing with the C++ hash table but the code values it
must produce.

    lzw_model.py compress <in> <out>
    lzw_model.py expand <in> <out>      prints "flushes=<n> bumps=<n>"
"""
import sys

MARKER = bytes([0xEB, 0x90] * 4)
END, BUMP, FLUSH, FIRST_FREE, LAST_CODE = 256, 257, 258, 259, 32767


class BitSink:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, code, width):
        self.acc = (self.acc << width) | code
        self.bits += width
        while self.bits >= 8:
            self.bits -= 8
            self.out.append((self.acc >> self.bits) & 0xFF)
        self.acc &= (1 << self.bits) - 1

    def close(self):
        if self.bits:
            self.out.append((self.acc << (8 - self.bits)) & 0xFF)
            self.bits = 0
        return bytes(self.out)


class BitSource:
    def __init__(self, data):
        self.data = data
        self.pos = 0  # in bits

    def get(self, width):
        if self.pos + width > len(self.data) * 8:
            raise ValueError("stream ends inside a code")
        value = 0
        for _ in range(width):
            byte = self.data[self.pos >> 3]
            value = (value << 1) | ((byte >> (7 - (self.pos & 7))) & 1)
            self.pos += 1
        return value


def compress(data):
    if len(data) < 256:
        raise ValueError("input shorter than 256 bytes")
    sink = BitSink()
    table, next_code, width = {}, FIRST_FREE, 9
    current = data[0]
    for byte in data[1:]:
        key = (current, byte)
        if key in table:
            current = table[key]
            continue
        table[key] = next_code
        next_code += 1
        sink.put(current, width)
        current = byte
        if next_code > LAST_CODE:
            sink.put(FLUSH, width)
            table, next_code, width = {}, FIRST_FREE, 9
        elif next_code > (1 << width) - 1:
            sink.put(BUMP, width)
            width += 1
    sink.put(current, width)
    sink.put(END, width)
    return MARKER + sink.close()


def expand(buffer, stats=None):
    if len(buffer) <= 8 or buffer[:8] != MARKER:
        raise ValueError("no marker")
    source = BitSource(buffer[8:])
    out = bytearray()
    stats = stats if stats is not None else {}
    stats.setdefault("flushes", 0)
    stats.setdefault("bumps", 0)
    while True:
        strings, width = {}, 9
        old = source.get(width)
        if old == END:
            return bytes(out)
        if old > 255:
            raise ValueError("first code is not a byte")
        previous = bytes([old])
        out += previous
        while True:
            code = source.get(width)
            if code == END:
                return bytes(out)
            if code == FLUSH:
                stats["flushes"] += 1
                break
            if code == BUMP:
                stats["bumps"] += 1
                width += 1
                if width > 15:
                    raise ValueError("code wider than 15 bits")
                continue
            next_code = FIRST_FREE + len(strings)
            if code < 256:
                entry = bytes([code])
            elif code in strings:
                entry = strings[code]
            elif code == next_code:
                entry = previous + previous[:1]
            else:
                raise ValueError("code %d not defined" % code)
            if next_code > LAST_CODE:
                raise ValueError("dictionary overrun")
            strings[next_code] = previous + entry[:1]
            out += entry
            previous = entry


def main(argv):
    if len(argv) != 4 or argv[1] not in ("compress", "expand"):
        sys.stderr.write(__doc__)
        return 2
    with open(argv[2], "rb") as f:
        data = f.read()
    if argv[1] == "compress":
        result = compress(data)
    else:
        stats = {}
        result = expand(data, stats)
        print("flushes=%d bumps=%d" % (stats["flushes"], stats["bumps"]))
    with open(argv[3], "wb") as f:
        f.write(result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
