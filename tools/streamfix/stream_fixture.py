#!/usr/bin/env python3
"""Stream fixtures for the stream platform's tests: the camera's private
panorama SEI, JPEG lens tail blocks, and H.264 streams with 4-byte start
codes. Written from the layout tables alone, apart from the C++ readers, so
that one misreading cannot pass on both sides.

usage:
  stream_fixture.py sei KIND OUT [NAME=VALUE ...]
      writes one private SEI unit (start code included) of KIND (2 "QN",
      3 "Q3", 4 "QT", 5 or 7 "QJ") to OUT and prints its size byte; fields
      not named take plain defaults (see FIELDS)
  stream_fixture.py sei-cases SEED COUNT
      prints COUNT random units of the kinds 2, 3, 4, 5 and 7, one line each:
      "unit=<hex> kind=<k> valid=<0|1> <field>=<value> ...", the fields as a
      reader of the unit must find them
  stream_fixture.py tail KIND OUT [NAME=VALUE ...]
      writes one lens tail block (1 panorama 48 bytes, 2 PTZ 32 bytes,
      3 tilt 8 bytes) to OUT
  stream_fixture.py append-tail IN.jpg OUT.jpg KIND [NAME=VALUE ...]
      copies the picture and appends one tail block
  stream_fixture.py four-byte IN OUT
      rewrites every 3-byte start code of an Annex B stream as 00 00 00 01
  stream_fixture.py inject IN OUT SEI
      copies the Annex B stream IN, putting the unit in file SEI before the
      first slice of every access unit that holds an IDR slice
  stream_fixture.py tf-card IN.h264 ALAW CARD DAY HH:MM[,HH:MM...] [NAME=VALUE ...]
      lays out a copied TF card in folder CARD: "rec_info" and, for each
      minute of day DAY (YYYY-MM-DD), CARD/DAY/HH/MM.h264 holding IN.h264
      (4-byte start codes, access unit delimiters) with a private panorama
      SEI (kind 3) that carries the minute's packed time before every IDR
      slice, as the private units of segment_fixture.py private --fields
      with the A-law file ALAW, then filler without start codes up to
      pad bytes; prints "<video units> <key units> <audio units>" per
      minute. Values: rec_info=TEXT (the file's text, "\n" for line ends;
      "none" writes no file; default "1\n2\nCAM0000000001\n"), fields=W,H,RATE
      (default 320,240,25), pad=BYTES (default 102401), snap=HH:MM:SS:K,...
      (snapshot files "MM-SS_K.jpg"), security=LOW,HIGH,CLEAR,INTERVAL (the
      SEI's security flag words, the clear-header length of all frames and
      the protection interval in bytes, multiples of 8 and 64; the protected
      lengths are the largest the field holds; the slices themselves are left for
      the caller to encrypt)

Only Python's standard library is used.
"""
import fractions
import os
import random
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cloudsim"))
import segment_fixture  # noqa: E402

MAGIC = {2: b"QN", 3: b"Q3", 4: b"QT", 5: b"QJ", 7: b"QJ"}

# Defaults for the "sei" command: a 1920 x 1080 fisheye of nibble 2 layout.
FIELDS = {
    "size": None, "nibble": 2, "width": 1920, "num": 9, "den": 16, "height": 1080,
    "lens_type": 1, "lens_number": 2, "pan_range": 0, "tilt_range": 0,
    "off_x": 255, "off_y": 255, "radius2": 500, "tilt7": 45, "rotate9": 0,
    "rate1": 25, "rate2": 25, "time": 0, "time_value": 0x69ABCDEF, "osd": "8,8,8,8",
    "security_bits": 0, "further": 0, "flags_extra": 0x01010100, "sec_low": 0x01010101, "sec_high": 0x01010101,
    "protection": 0x01010101, "key_clear": 1, "interval": 1,
    "pan": 100, "tilt": 1800, "zoom": 10, "fourth": 10, "ptz_high": 0x11111,
    "center_x": 960 * 1024 + 1, "center_y": 540 * 1024 + 1, "radius": 500 * 1024 + 1,
    "type_word": 0x0106A010, "tilt_deg": -1, "rotate100": 9000, "time_hi": 7, "time_lo": 9,
}


def type_code(f):
    """The 64-bit panorama type code of the fields, by its low nibble."""
    n = f["nibble"]
    w8 = f["width"] // 8
    if n == 2:
        return 2 | f["den"] << 4 | f["num"] << 9 | w8 << 14 | f["lens_type"] << 36 | f["lens_number"] << 39
    if n == 3:
        return (3 | f["lens_type"] << 4 | f["lens_number"] << 7 | f["den"] << 23 | f["num"] << 28 | w8 << 33
                | f["pan_range"] << 44)
    if n == 4:
        return (4 | f["lens_type"] << 4 | f["lens_number"] << 7 | f["den"] << 13 | f["num"] << 18 | w8 << 23
                | f["pan_range"] << 34 | f["tilt_range"] << 45)
    if n == 5:
        return (5 | f["lens_type"] << 4 | f["lens_number"] << 7 | w8 << 14 | (f["height"] // 8) << 25
                | f["pan_range"] << 35)
    return n  # an unknown nibble: the reader must refuse it


def put(unit, offset, data):
    unit[offset:offset + len(data)] = data


def frame(kind, size, payload_at):
    """A unit of size byte `size` with its payload bytes from `payload_at`."""
    # Filler that cannot form an emulation-prevention pattern.
    unit = bytearray(b"\x55" * (8 + size))
    unit[0:7] = b"\x00\x00\x00\x01\x06\xf0" + bytes([size])
    unit[7:9] = MAGIC[kind]
    for offset, data in payload_at:
        put(unit, offset, data)
    unit[7 + size] = 0x80
    return unit


def build_unit(kind, f):
    if kind in (3, 4):
        size = f["size"] or 72
        flags = f["time"] | f["security_bits"] << 3 | f["further"] << 20 | f["flags_extra"]
        if f["time"]:
            time_or_osd = struct.pack("<I", f["time_value"])
        else:
            w, h, x, y = (int(v) for v in str(f["osd"]).split(","))
            time_or_osd = bytes([w // 4, h // 4, x // 8, y // 8])
        circle = f["off_x"] | f["off_y"] << 9 | f["radius2"] << 18
        fields = [(19, struct.pack("<I", flags)), (23, time_or_osd), (27, struct.pack("<I", circle)),
                  (31, struct.pack("<II", f["sec_low"], f["sec_high"])), (39, struct.pack("<Q", type_code(f))),
                  (47, struct.pack("<H", f["tilt7"] | f["rotate9"] << 7)), (49, bytes([f["rate1"], f["rate2"]])),
                  (63, struct.pack("<I", f["protection"])), (67, bytes([f["key_clear"], f["interval"]]))]
        if kind == 4:
            ptz = f["pan"] | f["tilt"] << 12 | f["zoom"] << 24 | f["fourth"] << 36 | f["ptz_high"] << 44
            fields.append((55, struct.pack("<Q", ptz)))
        return frame(kind, size, fields)
    if kind == 2:
        size = f["size"] or 56
        w, h, x, y = (int(v) for v in str(f["osd"]).split(","))
        return frame(2, size, [(23, bytes([w // 8, h // 8, x // 4, y // 4])),
                               (31, struct.pack("<iii", f["center_x"], f["center_y"], f["radius"])),
                               (43, struct.pack("<I", f["type_word"])), (47, struct.pack("<i", f["tilt_deg"])),
                               (51, struct.pack("<H", f["rotate100"])), (53, bytes([f["rate1"], f["rate2"]]))])
    if kind in (5, 7):
        size = f["size"] or (12 if kind == 5 else 16)
        at = 11 if size < 9 else 15
        ptz = f["pan"] | f["tilt"] << 12
        if kind == 7:
            ptz |= f["zoom"] << 26 | f["fourth"] << 39
        data = struct.pack("<Q", ptz)
        unit = frame(kind, size, [(9, bytes([f["time_hi"], f["time_lo"]]))])
        end = min(len(unit), at + (8 if kind == 7 else 4))
        put(unit, at, data[:max(0, end - at)])
        # At S = 11 the trailing byte is the PTZ word's unused top byte.
        unit[7 + size] = 0x80
        return unit
    raise SystemExit("no such kind: %d" % kind)


def rate(byte):
    return byte if byte <= 30 else 1.0 / (byte - 30)


def expected(kind, f, unit):
    """What a reader of the unit must find, from the fields themselves."""
    out = {"kind": kind, "valid": 1}
    size = unit[6]
    if kind in (3, 4):
        code = type_code(f)
        n = f["nibble"]
        if n not in (2, 3, 4) and not (n == 5 and kind == 4):
            out["valid"] = 0
            return out
        width = f["width"]
        if n == 5:
            height = f["height"]
        else:
            height = width * f["num"] // f["den"] if f["den"] else 0
        out.update(width=width, height=height, type=code)
        pan_range = {2: 0, 3: f["pan_range"] * 10, 5: f["pan_range"] * 10,
                     4: f["pan_range"] * 10 if kind == 4 else f["pan_range"] // 10}[n]
        out["pan_range_x10"] = pan_range
        out["center_x"] = width // 2 + f["off_x"] * 2 - 510
        out["center_y"] = height // 2 + f["off_y"] * 2 - 510
        out["radius"] = f["radius2"] * 2
        out["tilt"] = max(-90, min(90, f["tilt7"] * 2 - 90))
        out["rotate"] = f["rotate9"]
        out["rate1"] = rate(f["rate1"])
        out["rate2"] = rate(f["rate2"])
        out["time_flag"] = f["time"]
        if f["time"]:
            out["frame_time"] = f["time_value"]
        else:
            w, h, x, y = (int(v) for v in str(f["osd"]).split(","))
            out.update(osd_w=w // 4 * 4, osd_h=h // 4 * 4, osd_x=x // 8 * 8, osd_y=y // 8 * 8)
        out.update(security_bits=f["security_bits"], further=f["further"], sec_low=f["sec_low"],
                   sec_high=f["sec_high"])
        p = f["protection"]
        out.update(other_clear=(p & 63) * 8, protected_key=(p >> 6 & 0x1FFF) * 8, protected_other=(p >> 19) * 8,
                   key_clear=f["key_clear"] * 8, interval=f["interval"] * 64)
        if kind == 4:
            ptz = f["pan"] | f["tilt"] << 12 | f["zoom"] << 24 | f["fourth"] << 36 | f["ptz_high"] << 44
            out["ptz_pan"] = f["pan"] / 10
            out["ptz_tilt"] = f["tilt"] / 10 - 180
            out["ptz_zoom"] = 270 if code >> 55 & 1 else f["zoom"] / 10
            out["ptz_fourth"] = 1 if f["fourth"] == 0 else f["fourth"] / 10
            out["no_rate"] = int(f["fourth"] == 0 or (ptz >> 47 & 0xFF) == (ptz >> 55 & 0xFF))
    elif kind == 2:
        w, h, x, y = (int(v) for v in str(f["osd"]).split(","))
        out.update(osd_w=w // 8 * 8, osd_h=h // 8 * 8, osd_x=x // 4 * 4, osd_y=y // 4 * 4)
        out["center_x"] = round(f["center_x"] / 1024)
        out["center_y"] = round(f["center_y"] / 1024)
        out["radius"] = round(f["radius"] / 1024)
        t = f["type_word"]
        out["type"] = t
        out["lens_byte"] = t >> 24
        out["qn_bits"] = t & 0xFFFFFF
        if t & 0xF:
            width = (t >> 14 & 0x7FF) * 8
            den = t >> 4 & 31
            out["width"] = width
            out["height"] = width * (t >> 9 & 31) // den if den else 0
        else:
            out["width"] = out["height"] = 0
        out["tilt"] = max(-90, min(90, f["tilt_deg"]))
        out["rotate"] = f["rotate100"] / 100
        r1 = f["rate1"]
        out["rate1"] = r1 if r1 < 128 else 1.0 / (256 - r1)
        out["rate2"] = rate(f["rate2"])
    else:
        at = 11 if size < 9 else 15
        if at + 4 > 8 + size or (kind == 7 and at + 8 > 8 + size):
            out["valid"] = 0
            return out
        out["ptz_pan"] = f["pan"] / 10
        out["ptz_tilt"] = f["tilt"] / 10 - 180
        if kind == 7:
            out["ptz_zoom"] = f["zoom"] / 10
            out["ptz_fourth"] = f["fourth"] / 10
        out["time_flag"] = 1
        out["frame_time"] = 0x1F << 12 | (f["time_hi"] & 63) << 6 | (f["time_lo"] & 63)
    return out


def emulation_free(unit):
    """No 00 00 0x (x up to 3) inside the unit behind its start code."""
    body = bytes(unit[4:])
    return re.search(b"\x00\x00[\x00-\x03]", body) is None


def random_fields(r, kind):
    f = dict(FIELDS)
    if kind in (3, 4):
        f["nibble"] = r.choice([2, 3, 4, 5] if kind == 4 else [2, 3, 4, 2, 4])
        f["size"] = r.randrange(64, 90)
        f["width"] = r.randrange(1, 2048) * 8 if f["nibble"] != 4 else r.randrange(1, 2048) * 8
        f["num"] = r.randrange(1, 32)
        f["den"] = r.randrange(1, 32)
        f["height"] = r.randrange(1, 1024) * 8
        f["lens_type"] = r.randrange(8)
        f["lens_number"] = r.randrange(64)
        f["pan_range"] = r.randrange(2048)
        f["tilt_range"] = r.randrange(2048)
        f["off_x"], f["off_y"], f["radius2"] = r.randrange(512), r.randrange(512), r.randrange(1 << 14)
        f["tilt7"], f["rotate9"] = r.randrange(128), r.randrange(512)
        f["rate1"], f["rate2"] = r.randrange(1, 256), r.randrange(1, 256)
        f["time"] = r.randrange(2)
        f["time_value"] = r.randrange(1, 1 << 32)
        f["osd"] = ",".join(str(r.randrange(1, 256) * m) for m in (4, 4, 8, 8))
        f["security_bits"], f["further"] = r.randrange(8), r.randrange(2)
        f["flags_extra"] = r.randrange(1 << 11) << 21 | r.randrange(1 << 14) << 6
        f["flags_extra"] &= ~(1 << 20)
        f["sec_low"], f["sec_high"] = r.randrange(1, 1 << 32), r.randrange(1, 1 << 32)
        f["protection"] = r.randrange(1, 1 << 32)
        f["key_clear"], f["interval"] = r.randrange(1, 256), r.randrange(1, 256)
        f["pan"], f["tilt"], f["zoom"] = r.randrange(3600), r.randrange(3600), r.randrange(4096)
        f["fourth"] = r.choice([0, r.randrange(256)])
        f["ptz_high"] = r.randrange(1 << 20)
    elif kind == 2:
        f["size"] = r.randrange(52, 70)
        f["osd"] = ",".join(str(r.randrange(1, 256) * m) for m in (8, 8, 4, 4))
        f["center_x"] = r.randrange(-3000, 3000) * 1024 + r.randrange(-400, 400)
        f["center_y"] = r.randrange(-3000, 3000) * 1024 + r.randrange(-400, 400)
        f["radius"] = r.randrange(1, 3000) * 1024 + r.randrange(-400, 400)
        f["type_word"] = r.randrange(1, 1 << 32) & ~(0xF if r.randrange(3) == 0 else 0)
        f["tilt_deg"] = r.randrange(-120, 120)
        f["rotate100"] = r.randrange(1, 36000)
        f["rate1"], f["rate2"] = r.randrange(1, 256), r.randrange(1, 256)
    else:
        f["size"] = r.randrange(8, 16) if kind == 5 else r.randrange(16, 30)
        f["pan"], f["tilt"] = r.randrange(1, 3600), r.randrange(1, 3600)
        f["zoom"], f["fourth"] = r.randrange(1, 4096), r.randrange(1, 256)
        f["time_hi"], f["time_lo"] = r.randrange(1, 256), r.randrange(1, 256)
    return f


def sei_cases(seed, count):
    r = random.Random(seed)
    kinds = [2, 3, 4, 5, 7]
    made = 0
    tries = 0
    while made < count:
        tries += 1
        if tries > count * 50:
            raise SystemExit("could not make units free of emulation-prevention patterns")
        kind = kinds[made % len(kinds)]
        f = random_fields(r, kind)
        unit = build_unit(kind, f)
        if not emulation_free(unit):
            continue
        values = expected(kind, f, unit)
        print("unit=" + unit.hex() + " " + " ".join("%s=%s" % (k, repr(v) if isinstance(v, float) else v)
                                                    for k, v in values.items()))
        made += 1


def parse_assignments(pairs):
    f = dict(FIELDS)
    for pair in pairs:
        name, _, value = pair.partition("=")
        if name not in f:
            raise SystemExit("unknown field %s; fields: %s" % (name, " ".join(sorted(f))))
        f[name] = value if name == "osd" else int(value, 0)
    return f


# Lens tail blocks ---------------------------------------------------------

TAIL_FIELDS = {"tilt": 0.0, "rotate": 0.0, "time": 0, "time_flag": 1, "osd": "0,0,0,0", "off_x": 255,
               "off_y": 255, "radius2": 0, "type": 0, "pan": 0.0, "ptz_tilt": 0.0, "upper": 1800,
               "lower": 1800}


def tail_block(kind, t):
    if kind == 1:
        head = 1 | 48 << 10 | (1 << 18 if t["time_flag"] else 0)
        if t["time_flag"]:
            when = struct.pack("<I", t["time"])
        else:
            w, h, x, y = (int(v) for v in str(t["osd"]).split(","))
            when = bytes([w // 4, h // 4, x // 8, y // 8])
        circle = t["off_x"] | t["off_y"] << 9 | t["radius2"] << 18
        return (struct.pack("<IHH", head, round((t["tilt"] + 180) * 100), round(t["rotate"] * 100)) + when
                + struct.pack("<I", circle) + bytes(8) + struct.pack("<Q", t["type"]) + bytes(16))
    if kind == 2:
        tilt = round(t["ptz_tilt"] * 10 + 1800)
        head = 2 | 32 << 10 | round(t["pan"] * 10) << 18 | (tilt & 3) << 30
        return (struct.pack("<II", head, tilt >> 2 | 1 << 10) + struct.pack("<Q", t["type"])
                + struct.pack("<I", t["time"]) + bytes(12))
    if kind == 3:
        return struct.pack("<IHH", 3 | 8 << 10 | 360 << 18, t["upper"], t["lower"])
    raise SystemExit("no such tail block kind: %d" % kind)


def parse_tail(pairs):
    t = dict(TAIL_FIELDS)
    for pair in pairs:
        name, _, value = pair.partition("=")
        if name not in t:
            raise SystemExit("unknown field %s; fields: %s" % (name, " ".join(sorted(t))))
        t[name] = value if name == "osd" else (float(value) if isinstance(t[name], float) else int(value, 0))
    return t


# Annex B streams ----------------------------------------------------------

def four_byte(data):
    """Every start code as 00 00 00 01."""
    out = bytearray()
    last = 0
    for match in re.finditer(b"\x00\x00\x01", data):
        at = match.start()
        if at > 0 and data[at - 1] == 0:
            continue
        out += data[last:at] + b"\x00"
        last = at
    out += data[last:]
    return bytes(out)


def nal_starts(data):
    return [m.start() for m in re.finditer(b"\x00\x00\x00\x01", data)]


def inject(data, unit):
    starts = nal_starts(data)
    out = bytearray()
    cursor = 0
    seen_idr_in_au = False
    for at in starts:
        nal_type = data[at + 4] & 0x1F
        if nal_type in (7, 9):
            seen_idr_in_au = False
        if nal_type == 5 and not seen_idr_in_au:
            out += data[cursor:at] + unit
            cursor = at
            seen_idr_in_au = True
    out += data[cursor:]
    return bytes(out)


# Copied TF cards ----------------------------------------------------------

def packed_date(year, month, day, hour, minute, second):
    return (second | minute << 6 | hour << 12 | day << 17 | month << 22 | (year - 2000) % 64 << 26)


def tf_card(source, alaw, card, day, minutes, pairs):
    options = {"rec_info": "1\\n2\\nCAM0000000001\\n", "fields": "320,240,25", "pad": "102401", "snap": "",
               "security": ""}
    for pair in pairs:
        name, _, value = pair.partition("=")
        if name not in options:
            raise SystemExit("unknown value %s; values: %s" % (name, " ".join(sorted(options))))
        options[name] = value
    with open(source, "rb") as video_file, open(alaw, "rb") as audio_file:
        video, audio = video_file.read(), audio_file.read()
    fields = tuple(int(v) for v in options["fields"].split(","))
    year, month, mday = (int(v) for v in day.split("-"))
    os.makedirs(card, exist_ok=True)
    if options["rec_info"] != "none":
        with open(os.path.join(card, "rec_info"), "wb") as info:
            info.write(options["rec_info"].replace("\\n", "\n").replace("\\r", "\r").encode())
    for hhmm in minutes.split(","):
        hour, minute = (int(v) for v in hhmm.split(":"))
        f = dict(FIELDS)
        f.update(time=1, time_value=packed_date(year, month, mday, hour, minute, 0), rate1=fields[2],
                 rate2=fields[2], width=fields[0], nibble=2)
        if options["security"]:
            low, high, clear, interval = (int(v, 0) for v in options["security"].split(","))
            if clear % 8 or clear // 8 > 63 or interval % 64 or interval // 64 > 255:
                raise SystemExit("security: CLEAR a multiple of 8 up to 504, INTERVAL of 64 up to 16320")
            f.update(sec_low=low, sec_high=high, key_clear=clear // 8, protection=clear // 8 | 0x1FFF << 6 | 0x1FFF << 19,
                     interval=interval // 64)
        ratio = fractions.Fraction(fields[1], fields[0]).limit_denominator(31)
        f.update(num=ratio.numerator, den=ratio.denominator)
        unit = build_unit(3, f)
        if not emulation_free(unit):
            raise SystemExit("the SEI of %s puts 00 00 0x into the unit" % hhmm)
        stream, counts = segment_fixture.private_stream(inject(video, unit), audio, fields)
        folder = os.path.join(card, day, "%02d" % hour)
        os.makedirs(folder, exist_ok=True)
        filler = max(0, int(options["pad"]) - len(stream))
        with open(os.path.join(folder, "%02d.h264" % minute), "wb") as segment:
            segment.write(stream + b"\x55" * filler)
        print(*counts)
    for snap in filter(None, options["snap"].split(",")):
        hour, minute, second, kind = snap.split(":")
        folder = os.path.join(card, day, "%02d" % int(hour))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "%02d-%02d_%s.jpg" % (int(minute), int(second), kind)), "wb") as picture:
            picture.write(b"\xff\xd8\xff\xd9")


def main(argv):
    if len(argv) >= 4 and argv[1] == "sei":
        kind = int(argv[2])
        unit = build_unit(kind, parse_assignments(argv[4:]))
        if not emulation_free(unit):
            sys.stderr.write("these fields put 00 00 0x into the unit; choose others\n")
            return 1
        with open(argv[3], "wb") as out:
            out.write(unit)
        print(unit[6])
    elif len(argv) == 4 and argv[1] == "sei-cases":
        sei_cases(int(argv[2]), int(argv[3]))
    elif len(argv) >= 4 and argv[1] == "tail":
        with open(argv[3], "wb") as out:
            out.write(tail_block(int(argv[2]), parse_tail(argv[4:])))
    elif len(argv) >= 5 and argv[1] == "append-tail":
        with open(argv[2], "rb") as src:
            picture = src.read()
        with open(argv[3], "wb") as out:
            out.write(picture + tail_block(int(argv[4]), parse_tail(argv[5:])))
    elif len(argv) == 4 and argv[1] == "four-byte":
        with open(argv[2], "rb") as src:
            data = src.read()
        with open(argv[3], "wb") as out:
            out.write(four_byte(data))
    elif len(argv) == 5 and argv[1] == "inject":
        with open(argv[2], "rb") as src, open(argv[4], "rb") as sei:
            data, unit = src.read(), sei.read()
        with open(argv[3], "wb") as out:
            out.write(inject(data, unit))
    elif len(argv) >= 7 and argv[1] == "tf-card":
        tf_card(argv[2], argv[3], argv[4], argv[5], argv[6], argv[7:])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
