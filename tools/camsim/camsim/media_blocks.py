"""Media blocks (message 40005) built from an H.264 elementary stream and
A-law audio, and the camera messages around them.

A block body: camera u32, 4 unused bytes, frame type u16 (0 key frame,
1 frame that needs its predecessor, 3 audio), stream u16, frame number u32,
block serial u32 (counts every block, consecutive across frames), block
index u16, block count u16, data length u32, then at most 976 data bytes;
every block but the last of a frame carries exactly 976. All little-endian.

Video and audio count their block serials apart, so the serials of the
video frames follow one another without gaps; an audio frame takes the
number of the video frame it goes out with.
"""

import hashlib
import json
import struct

from . import wire

MEDIA_BLOCK = 40005
BLOCK_DATA = 976
BLOCK_HEAD = struct.Struct('<IIHHIIHHI')
KEY, DEPENDENT, AUDIO = 0, 1, 3
AUDIO_FRAME = 320

KEEP_ALIVE = 1
STUN_REQUEST = 40001
STUN_ANSWER = 40002
RESEND = 40004
CONNECT_VIDEO = 40013
CONNECT_ANSWER = 40014
CLOSE_CHANNEL = 40015
TALK = 40023


def nal_units(data):
    """(start, end) of every NAL unit with its start code, in order."""
    starts = []
    i = 0
    while True:
        i = data.find(b'\x00\x00\x01', i)
        if i < 0:
            break
        start = i - 1 if i > 0 and data[i - 1] == 0 else i
        starts.append((start, i + 3))
        i += 3
    units = []
    for k, (start, payload) in enumerate(starts):
        end = starts[k + 1][0] if k + 1 < len(starts) else len(data)
        units.append((start, payload, end))
    return units


def access_units(data):
    """The stream cut into access units: a list of (offset, bytes, frame type)."""
    frames = []
    current_start = None
    has_slice = False
    key = False
    for start, payload, _end in nal_units(data):
        nal_type = data[payload] & 0x1F
        is_slice = nal_type in (1, 5)
        # first_mb_in_slice is 0 exactly when its Exp-Golomb code is the single bit 1.
        first_slice = is_slice and payload + 1 < len(data) and data[payload + 1] & 0x80
        begins = (nal_type in (6, 7, 8, 9) and has_slice) or (first_slice and has_slice)
        if current_start is None:
            current_start = start
        elif begins:
            frames.append((current_start, data[current_start:start], KEY if key else DEPENDENT))
            current_start, has_slice, key = start, False, False
        if is_slice:
            has_slice = True
            key = key or nal_type == 5
    if current_start is not None:
        frames.append((current_start, data[current_start:], KEY if key else DEPENDENT))
    return frames


def split_blocks(data):
    """The data of each block of one frame."""
    pieces = [data[i:i + BLOCK_DATA] for i in range(0, len(data), BLOCK_DATA)]
    return pieces or [b'']


def block_body(camera, frame_type, stream, frame_number, serial, index, count, data):
    return BLOCK_HEAD.pack(camera, 0, frame_type, stream, frame_number, serial, index, count, len(data)) + data


class Stream:
    """Every block of a stream, in sending order, with the serial of each."""

    def __init__(self, h264, alaw, camera, stream, first_frame=1):
        self.camera = camera
        self.stream = stream
        self.items = []        # (frame number, frame type, serial or None, body)
        self.by_serial = {}    # video serial -> body
        self.manifest = []
        video_serial = 0
        audio_serial = 0
        frames = access_units(h264)
        chunks = [alaw[i:i + AUDIO_FRAME] for i in range(0, len(alaw), AUDIO_FRAME)]
        for n, (offset, frame, frame_type) in enumerate(frames):
            number = first_frame + n
            if n < len(chunks):
                chunk = chunks[n]
                body = block_body(camera, AUDIO, stream, number, audio_serial, 0, 1, chunk)
                audio_serial += 1
                self.items.append((number, AUDIO, None, body))
                self.manifest.append({'audio': number, 'length': len(chunk),
                                      'sha1': hashlib.sha1(chunk).hexdigest()})
            pieces = split_blocks(frame)
            for index, piece in enumerate(pieces):
                body = block_body(camera, frame_type, stream, number, video_serial, index, len(pieces), piece)
                self.by_serial[video_serial] = body
                self.items.append((number, frame_type, video_serial, body))
                video_serial += 1
            self.manifest.append({'frame': number, 'type': frame_type, 'offset': offset, 'length': len(frame),
                                  'blocks': len(pieces), 'sha1': hashlib.sha1(frame).hexdigest()})
        self.last_frame = first_frame + len(frames) - 1
        self.frame_count = len(frames)
        self.video_blocks = video_serial
        self.audio_blocks = audio_serial

    def restamped(self, message, camera, round_):
        """A media-block message of this stream as camera `camera` sends it in
        round `round_` of a looped stream: frame numbers and block serials go
        on from the round before."""
        if camera == self.camera and round_ == 0:
            return message
        out = bytearray(message)
        at = wire.HEADER.size
        frame_type = struct.unpack_from('<H', out, at + 8)[0]
        number, serial = struct.unpack_from('<II', out, at + 12)
        blocks = self.audio_blocks if frame_type == AUDIO else self.video_blocks
        struct.pack_into('<I', out, at, camera)
        struct.pack_into('<II', out, at + 12, number + round_ * self.frame_count, serial + round_ * blocks)
        return bytes(out)

    def write_manifest(self, path):
        with open(path, 'w', encoding='ascii') as f:
            for entry in self.manifest:
                f.write(json.dumps(entry) + '\n')


class Recorder:
    """One JSON line per message received, and the talk payloads in order."""

    def __init__(self, log_path, talk_path):
        self.log_path = log_path
        self.talk_path = talk_path
        if talk_path:
            open(talk_path, 'wb').close()

    def record(self, msg_id, total, body, **extra):
        entry = {'id': msg_id, 'total': total, 'body': body.hex()}
        entry.update(extra)
        if self.log_path:
            with open(self.log_path, 'a', encoding='ascii') as f:
                f.write(json.dumps(entry) + '\n')
        if msg_id == TALK and self.talk_path and len(body) >= 12:
            with open(self.talk_path, 'ab') as f:
                f.write(body[12:])


def fixed_answer(msg_id, camera, value=0):
    """A 44-byte answer: camera id at body offset 12, a 16-bit value at 16."""
    body = bytearray(24)
    struct.pack_into('<I', body, 12, camera)
    struct.pack_into('<H', body, 16, value)
    return wire.frame(msg_id, bytes(body))


def split_messages(data):
    """Whole messages at the front of `data` as (id, total, body), and what is left."""
    messages = []
    pos = 0
    while len(data) - pos >= wire.HEADER.size:
        magic, msg_id, _version, total, _ = wire.HEADER.unpack_from(data, pos)
        if magic != wire.MAGIC or total < wire.HEADER.size or total > wire.MAX_TOTAL:
            raise ValueError('lost the frame boundary at %d' % pos)
        if len(data) - pos < total:
            break
        messages.append((msg_id, total, data[pos + wire.HEADER.size:pos + total]))
        pos += total
    return messages, data[pos:]
