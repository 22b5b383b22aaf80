"""Answers of the management server for live play and card playback against
simulated cameras. Without a routes object the management server answers
these requests from its plain tables.

The video-address request 20203 is answered twice: 20204 names the video
server (its IPv4 address at body 16, its UDP port at body 20, both in network
order) and 20312 names the camera on the local network (its IPv4 address at
body 24 in network order, its TCP port at body 28 as a 32-bit value). A
route left out is not answered, so that route of the client times out.
With `alternate` the answers take turns: the first request learns only of
the camera, the second only of the video server, and so on.

A card search 20226 is answered with one page 20227 of up to 16 file
records. With `card_files` N the card holds one fixed list of N one-minute
recordings, the first starting at CARD_FIRST, and a search finds the files
that start after its start time and before its end time, the earliest first:
a client pages through the list by searching again from the latest file it
got. Without it every search finds `files` records (at most a page) that
start at the search's start time, a minute apart.
"""

import datetime
import socket
import struct

from . import wire

VIDEO_ADDRESS = 20203
VIDEO_ADDRESS_ANSWER = 20204
LOCAL_ADDRESS_ANSWER = 20312
ONLINE = 20202
SEARCH = 20226
SEARCH_ANSWER = 20227
FILE_RECORD = 164
FILES_PER_PAGE = 16
# The reply form with 12-byte entries and its largest count.
COMPACT_TOTAL = 2536
COMPACT_COUNT = 208


# The first recording of the fixed card list: 2026-12-10 00:00:30.
CARD_FIRST = datetime.datetime(2026, 12, 10, 0, 0, 30)


def ipv4_bytes(host):
    return socket.inet_aton(host)


def recorded_file(index, start):
    """A 164-byte file record: values 29-34 the start, 38-40 the end time of
    a one-minute recording `index` minutes after `start` (year, month, day,
    hour, minute, second)."""
    values = [0] * 41
    values[0] = index
    year, month, day, hour, minute, second = start
    minute_of_day = hour * 60 + minute + index
    begin = (year, month, day, (minute_of_day // 60) % 24, minute_of_day % 60, second)
    end_minute = minute_of_day + 1
    values[29:35] = begin
    values[38:41] = [(end_minute // 60) % 24, end_minute % 60, second]
    return struct.pack('<41i', *values)


def card_file(index, begin):
    """A 164-byte record of the one-minute recording `index` that starts at
    `begin`: values 29-34 its start, 38-40 the time of day of its end."""
    end = begin + datetime.timedelta(minutes=1)
    values = [0] * 41
    values[0] = index
    values[29:35] = [begin.year, begin.month, begin.day, begin.hour, begin.minute, begin.second]
    values[38:41] = [end.hour, end.minute, end.second]
    return struct.pack('<41i', *values)


def search_time(body, at):
    """The search record's time at body `at` (six values), or None when it
    names no valid time."""
    try:
        return datetime.datetime(*struct.unpack_from('<6i', body, at))
    except (ValueError, OverflowError, struct.error):
        return None


class PlayRoutes:
    def __init__(self, video=None, camera=None, offline=False, files=2, compact_files=False, alternate=False,
                 card_files=None):
        """`video` and `camera` are (host, port) of the simulated video server
        and LAN camera, or None."""
        self.video = video
        self.camera = camera
        self.alternate = alternate
        self.requests = 0
        self.offline = offline
        self.files = files
        self.compact_files = compact_files
        self.card_files = card_files

    def answer(self, msg_id, sub, body):
        """A list of (reply id, reply body), or None to leave the request to
        the plain tables."""
        if msg_id == VIDEO_ADDRESS:
            return self.addresses(body)
        if msg_id == ONLINE and self.offline:
            camera = struct.unpack_from('<I', body, 0)[0]
            return [(ONLINE, struct.pack('<III', 0, camera, 0))]
        if msg_id == SEARCH:
            return [self.file_list(body)]
        return None

    def addresses(self, body):
        camera = struct.unpack_from('<I', body, 4)[0]
        self.requests += 1
        turn = self.requests % 2 if self.alternate else None
        replies = []
        if self.video is not None and turn != 1:
            host, port = self.video
            area = bytearray(VIDEO_ADDRESS_ANSWER_BODY)
            struct.pack_into('<II', area, 0, 0x00010001, camera)
            area[16:20] = ipv4_bytes(host)
            struct.pack_into('>H', area, 20, port)
            replies.append((VIDEO_ADDRESS_ANSWER, bytes(area)))
        if self.camera is not None and turn != 0:
            host, port = self.camera
            local = bytearray(LOCAL_ADDRESS_ANSWER_BODY)
            struct.pack_into('<I', local, 0, camera)
            local[24:28] = ipv4_bytes(host)
            struct.pack_into('<I', local, 28, port)
            replies.append((LOCAL_ADDRESS_ANSWER, bytes(local)))
        return replies

    def file_list(self, body):
        camera = struct.unpack_from('<I', body, 0)[0]
        if self.compact_files:
            # More entries than a page of file records holds.
            reply = bytearray([0x47]) * (COMPACT_TOTAL - wire.HEADER.size)
            struct.pack_into('<I', reply, 0, camera)
            struct.pack_into('<I', reply, 16, COMPACT_COUNT)
            return (SEARCH_ANSWER, bytes(reply))
        # The search record follows the four SDK values: its start time at
        # 20, its end time at 44.
        if self.card_files is not None:
            records = self.card_page(search_time(body, 20), search_time(body, 44))
        else:
            start = struct.unpack_from('<6i', body, 20)
            records = [recorded_file(index, start) for index in range(min(self.files, FILES_PER_PAGE))]
        reply = bytearray(2664 - wire.HEADER.size)
        struct.pack_into('<II', reply, 0, camera, 0)
        struct.pack_into('<I', reply, 16, self.files if self.card_files is None else len(records))
        for index, record in enumerate(records):
            reply[20 + index * FILE_RECORD:20 + (index + 1) * FILE_RECORD] = record
        return (SEARCH_ANSWER, bytes(reply))

    def card_page(self, start, end):
        """The records of the fixed list that start after `start` and before
        `end`, at most a page."""
        if start is None or end is None:
            return []
        records = []
        for index in range(self.card_files):
            begin = CARD_FIRST + datetime.timedelta(minutes=index)
            if start < begin < end:
                records.append(card_file(index, begin))
            if len(records) == FILES_PER_PAGE:
                break
        return records


VIDEO_ADDRESS_ANSWER_BODY = 60 - wire.HEADER.size
LOCAL_ADDRESS_ANSWER_BODY = 76 - wire.HEADER.size
