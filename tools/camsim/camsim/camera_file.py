"""Per-camera answers of the management server from a JSON camera file.

Without a camera file every device answer carries the byte pattern of
mgr_server, which no real camera would send: a client's thresholds on the
firmware version, its card capacities and its Wi-Fi texts cannot be reached
with it. A camera file names, per camera, what its answers hold:

    [{"camera": 1000, "firmware": "X_V3.8.10", "wifi": "HomeNet", "level": 3,
      "address": "192.168.1.20", "card": [1, 0, 30000, 12000, 1, 0, 0],
      "storage": 3, "online": true}]

- the Wi-Fi record (request 20326, reply 20327 of total 136, body 0-115
  handed over): the camera at 0, a zero word at 4, the signal level at 8,
  the camera's IPv4 address at 12 (network order), the firmware text in 32
  bytes at 16 and the Wi-Fi network's name in 64 bytes at 48 (both ended by
  a zero when shorter); "wifi": null makes the camera leave the request
  unanswered, so the client's query fails;
- the seven card values (request 20330, reply 20331 of total 60, body 8-35):
  card state, size-valid flag, size in MB, free figure, second-partition
  flag, second size in MB and second free figure; a card state of 0 reaches
  the client as seven zeros, as the reply's rule says; "card": null leaves
  the request unanswered;
- the record storage location (camera command 94002, reply 20401 / 94003,
  the location at inner 0): 0 none, 1 cloud, 3 cloud and card, or "fail",
  which leaves the request unanswered;
- the online state (request 20202): on line answers with one 12-byte entry
  (the connection value 41), off line with none.

A camera the file does not name gets the plain answers.
"""

import json
import socket
import struct

from . import wire

WIFI_REQUEST, WIFI_REPLY, WIFI_TOTAL = 20326, 20327, 136
CARD_REQUEST, CARD_REPLY, CARD_TOTAL = 20330, 20331, 60
CAMERA_COMMAND, COMMAND_REPLY, COMMAND_TOTAL = 20400, 20401, 256
STORAGE_COMMAND, STORAGE_REPLY = 94002, 94003
ONLINE = 20202
CONNECTION_VALUE = 41

FIRMWARE_AT, FIRMWARE_SIZE = 16, 32
WIFI_NAME_AT, WIFI_NAME_SIZE = 48, 64
CARD_VALUES = 7
STORAGE_LOCATIONS = (0, 1, 3)


def text_bytes(text, size, what):
    raw = text.encode('utf-8')
    if len(raw) > size:
        raise ValueError('%s %r is longer than %d bytes' % (what, text, size))
    return raw + bytes(size - len(raw))


class Camera:
    """The answers of one camera; checks the file's values as it reads them."""

    def __init__(self, entry):
        self.camera = int(entry['camera'])
        self.wifi = None
        if entry.get('wifi', '') is not None:
            self.wifi = self.wifi_record(entry)
        self.card = None
        if entry.get('card', [0] * CARD_VALUES) is not None:
            card = [int(v) for v in entry.get('card', [0] * CARD_VALUES)]
            if len(card) != CARD_VALUES:
                raise ValueError('camera %d: "card" needs %d values' % (self.camera, CARD_VALUES))
            self.card = card
        storage = entry.get('storage', 0)
        if storage != 'fail' and storage not in STORAGE_LOCATIONS:
            raise ValueError('camera %d: "storage" is 0, 1, 3 or "fail"' % self.camera)
        self.storage = None if storage == 'fail' else storage
        self.online = bool(entry.get('online', True))

    def wifi_record(self, entry):
        body = bytearray(WIFI_TOTAL - wire.HEADER.size)
        struct.pack_into('<Iii', body, 0, self.camera, 0, int(entry.get('level', 0)))
        body[12:16] = socket.inet_aton(entry.get('address', '0.0.0.0'))
        body[FIRMWARE_AT:FIRMWARE_AT + FIRMWARE_SIZE] = text_bytes(entry.get('firmware', ''), FIRMWARE_SIZE,
                                                                   'firmware')
        body[WIFI_NAME_AT:WIFI_NAME_AT + WIFI_NAME_SIZE] = text_bytes(entry['wifi'] if 'wifi' in entry else '',
                                                                      WIFI_NAME_SIZE, 'Wi-Fi name')
        return bytes(body)

    def answer(self, msg_id, sub):
        """A list of (reply id, body); an empty list leaves the request unanswered."""
        if msg_id == WIFI_REQUEST:
            return [(WIFI_REPLY, self.wifi)] if self.wifi is not None else []
        if msg_id == CARD_REQUEST:
            if self.card is None:
                return []
            body = bytearray(CARD_TOTAL - wire.HEADER.size)
            struct.pack_into('<I', body, 0, self.camera)
            struct.pack_into('<7i', body, 8, *self.card)
            return [(CARD_REPLY, bytes(body))]
        if msg_id == CAMERA_COMMAND and sub == STORAGE_COMMAND:
            if self.storage is None:
                return []
            body = bytearray(COMMAND_TOTAL - wire.HEADER.size)
            struct.pack_into('<I', body, 0, self.camera)
            struct.pack_into('<I', body, 12, STORAGE_REPLY)
            struct.pack_into('<i', body, 16, self.storage)
            return [(COMMAND_REPLY, bytes(body))]
        if msg_id == ONLINE:
            if self.online:
                return [(ONLINE, struct.pack('<IIII', 0, self.camera, 1, CONNECTION_VALUE) + bytes(8))]
            return [(ONLINE, struct.pack('<III', 0, self.camera, 0))]
        return None


class CameraFile:
    def __init__(self, cameras):
        self.cameras = {camera.camera: camera for camera in cameras}

    def answer(self, msg_id, sub, body):
        """The named camera's answer, or None to leave the request to the plain answers."""
        if len(body) < 4:
            return None
        camera = self.cameras.get(struct.unpack_from('<I', body, 0)[0])
        return camera.answer(msg_id, sub) if camera is not None else None


def read(path):
    with open(path, encoding='utf-8') as f:
        entries = json.load(f)
    if not isinstance(entries, list):
        raise ValueError('a camera file holds a JSON list')
    return CameraFile([Camera(entry) for entry in entries])
