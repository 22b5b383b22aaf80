#!/usr/bin/env python3
"""Writes cloud day-index fixtures and tells, from Python's own calendar and
zone data, which entries a reader must find in them.

usage:
  day_index_fixture.py day    PATH ZONE YYYYMMDD SLOT=FLAGS...
  day_index_fixture.py minute PATH ZONE YYYYMMDD SLOT=FLAGS...

"day" writes a ten-second index (header "V1610", 8640 slot bytes) and prints, for every slot with a flag
sum above 0, "slot start sum", start being the slot's wall-clock time on that
local day in ZONE as seconds since 1970.

"minute" writes a per-minute index (header "V1660", 1440 slot bytes) and
prints "slot start sum" for every slot where a segment starts (sum >= 100),
the wall-clock time taken as the zone's standard time (daylight saving off).

FLAGS is a byte in hex. Only Python's standard library is used.
"""
import calendar
import datetime
import sys
import zoneinfo


def flag_sum(flags):
    return (flags & 1) + (flags & 2) + (flags & 4) + (100 if flags & 0x80 else 0)


def parse_slots(specs):
    slots = {}
    for spec in specs:
        slot, flags = spec.split("=")
        slots[int(slot)] = int(flags, 16)
    return slots


def write_index(path, slot_seconds, count, slots):
    body = bytearray(count)
    for slot, flags in slots.items():
        body[slot] = flags
    header = b"V16%02d" % slot_seconds + b"0" * 10 + b"1"
    with open(path, "wb") as out:
        out.write(header + bytes(body))


def main(argv):
    kind, path, zone_name, date = argv[1:5]
    zone = zoneinfo.ZoneInfo(zone_name)
    year, month, day = int(date[:4]), int(date[4:6]), int(date[6:8])
    slots = parse_slots(argv[5:])
    if kind == "day":
        write_index(path, 10, 8640, slots)
        for slot in sorted(slots):
            total = flag_sum(slots[slot])
            if total == 0:
                continue
            wall = datetime.datetime(year, month, day, slot // 360, slot % 360 // 6, slot % 6 * 10, tzinfo=zone)
            print(slot, int(wall.timestamp()), total)
    elif kind == "minute":
        write_index(path, 60, 1440, slots)
        for slot in sorted(slots):
            total = flag_sum(slots[slot])
            if total < 100:
                continue
            wall = datetime.datetime(year, month, day, slot // 60, slot % 60, tzinfo=zone)
            standard_offset = wall.utcoffset() - wall.dst()
            naive = calendar.timegm(wall.replace(tzinfo=None).timetuple())
            print(slot, int(naive - standard_offset.total_seconds()), total)
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(list(sys.argv)))
