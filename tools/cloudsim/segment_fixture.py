#!/usr/bin/env python3
"""Cloud ".264" segment fixtures made from ffmpeg output, and what ffmpeg
itself sees in an H.264 stream.

usage:
  segment_fixture.py nal-types IN.264
      one line per NAL unit of the stream, in stream order, as ffmpeg's
      trace_headers filter reads it: "<nal_unit_type> <slice_type>", the
      slice type being "-" for units that are not slices
  segment_fixture.py private IN.264 ALAW OUT.264 [--fields WIDTH HEIGHT RATE]
      wraps every access unit of IN.264 (which must carry access unit
      delimiters) as one private unit, 0xFC when it holds an IDR slice and
      0xFD otherwise, and after each one a 0xFA unit with the next 160 bytes of
      the A-law file ALAW while any are left; prints "<video units> <key units>
      <audio units>". Without --fields the header fields hold filler; with it
      the 0xFC head carries stream kind 2, the frame rate and the picture size
      (width / 8 and height / 8, high bits in byte 4) and the 0xFA head codec
      14 (G.711 A-law) with sample-rate index 2 (8000 Hz)

Only Python's standard library is used; ffmpeg must be on PATH.
"""
import re
import struct
import subprocess
import sys


def nal_units(data):
    """(start, end, header offset) of each Annex B unit, start codes included."""
    starts = [match.start() for match in re.finditer(b"\x00\x00\x01", data)]
    units = []
    for index, at in enumerate(starts):
        begin = at - 1 if at > 0 and data[at - 1] == 0 else at
        end = starts[index + 1] if index + 1 < len(starts) else len(data)
        if index + 1 < len(starts) and data[end - 1] == 0:
            end -= 1
        units.append((begin, end, at + 3))
    return units


def access_units(data):
    groups = []
    for begin, end, header in nal_units(data):
        if data[header] & 0x1F == 9 or not groups:
            groups.append([begin, end, False])
        groups[-1][1] = end
        if data[header] & 0x1F == 5:
            groups[-1][2] = True
    return [(data[begin:end], idr) for begin, end, idr in groups]


def key_head(fields):
    """Bytes 4-11 of a 0xFC unit: filler, or the stream's own fields."""
    if fields is None:
        return b"\x11" * 8
    width, height, rate = fields
    w8, h8 = width // 8, height // 8
    if w8 >= 1 << 12 or h8 >= 1 << 10 or not 0 < rate < 256:
        raise SystemExit("size or rate does not fit the key frame header")
    kind = 2 | (w8 >> 8) << 4 | (h8 >> 8) << 6
    return bytes([kind, rate, w8 & 0xFF, h8 & 0xFF]) + bytes(4)


def private_stream(video, audio, fields=None):
    """The private units of the access units of `video` (bytes) with A-law
    `audio` (bytes) interleaved, and the counts (video, key, audio units)."""
    counts = [0, 0, 0]
    segment = bytearray()
    for payload, idr in access_units(video):
        if len(payload) < 17:
            raise SystemExit("access unit of %d bytes is too short for the private form" % len(payload))
        if idr:
            segment += b"\x00\x00\x01\xfc" + key_head(fields) + struct.pack("<I", len(payload)) + payload
            counts[1] += 1
        else:
            segment += b"\x00\x00\x01\xfd" + struct.pack("<I", len(payload)) + payload
        counts[0] += 1
        chunk, audio = audio[:160], audio[160:]
        if chunk:
            audio_head = b"\x22\x22" if fields is None else bytes([14, 2])
            segment += b"\x00\x00\x01\xfa" + audio_head + struct.pack("<H", len(chunk)) + chunk
            counts[2] += 1
    return bytes(segment), counts


def wrap_private(source, alaw, out, fields=None):
    with open(source, "rb") as video_file, open(alaw, "rb") as audio_file:
        video, audio = video_file.read(), audio_file.read()
    segment, counts = private_stream(video, audio, fields)
    with open(out, "wb") as segment_file:
        segment_file.write(segment)
    print(*counts)


def trace_nal_types(source):
    trace = subprocess.run(["ffmpeg", "-hide_banner", "-nostats", "-i", source, "-c", "copy", "-bsf:v",
                            "trace_headers", "-f", "null", "-"], capture_output=True, text=True, check=True).stderr
    in_packets = False
    units = []
    for line in trace.splitlines():
        if "] Packet:" in line:
            in_packets = True
        elif in_packets and re.search(r"\snal_unit_type\s", line):
            units.append([line.rsplit("=", 1)[1].strip(), "-"])
        elif in_packets and re.search(r"\sslice_type\s", line) and units:
            units[-1][1] = line.rsplit("=", 1)[1].strip()
    for nal_type, slice_type in units:
        print(nal_type, slice_type)


def main(argv):
    if len(argv) == 3 and argv[1] == "nal-types":
        trace_nal_types(argv[2])
    elif len(argv) == 5 and argv[1] == "private":
        wrap_private(argv[2], argv[3], argv[4])
    elif len(argv) == 9 and argv[1] == "private" and argv[5] == "--fields":
        wrap_private(argv[2], argv[3], argv[4], tuple(int(v) for v in argv[6:9]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
