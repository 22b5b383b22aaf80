"""Notices the management server pushes unasked, built from the reply tables.

Every notice names its camera; the rest of a body is a known fill so that a
test can tell which bytes reached the client's event callback:

- 20206, 20207 (total 28): camera off line or on line, the camera second,
  after the login number;
- 20240 (total 60) and 20320 (total 64): the camera at body 0, then 0x5A;
- 20313 (total 52): firmware-upgrade progress at stage 0 (body 24), which
  asks the client to start the upgrade: the camera, the value 1, a 16-byte
  version text, the stage and the value UPGRADE_VALUE;
- 20374: a camera-command reply 20401 (total 256) with sub-command 20374 at
  body 12; its inner payload from body 16 follows the answer pattern of the
  device answers, or is the record given (a card index packet, card_index).
"""

import struct

from . import wire

FILLED_TOTALS = {20206: 28, 20207: 28, 20240: 60, 20320: 64}
UPGRADE_PROGRESS = 20313
UPGRADE_TOTAL = 52
UPGRADE_VERSION = 'FW-2026.12.10-16'
UPGRADE_VALUE = 0x7D
COMMAND_NOTICE = 20374
COMMAND_REPLY = 20401
COMMAND_TOTAL = 256


def _pattern(total):
    return bytearray((i * 7 + 3) & 0xFF for i in range(total - wire.HEADER.size))


def notice(msg_id, camera, inner=None):
    """(message id, body) of the notice `msg_id` about `camera`; `inner` is
    the payload of a 20374 notice in place of the pattern."""
    if msg_id == UPGRADE_PROGRESS:
        body = bytearray(UPGRADE_TOTAL - wire.HEADER.size)
        struct.pack_into('<II', body, 0, camera, 1)
        body[8:24] = wire.text_field(UPGRADE_VERSION, 16)
        struct.pack_into('<II', body, 24, 0, UPGRADE_VALUE)
        return msg_id, bytes(body)
    if msg_id == COMMAND_NOTICE:
        body = _pattern(COMMAND_TOTAL)
        struct.pack_into('<I', body, 0, camera)
        struct.pack_into('<I', body, 12, COMMAND_NOTICE)
        if inner is not None:
            body[16:16 + len(inner)] = inner
        return COMMAND_REPLY, bytes(body)
    body = bytearray([0x5A]) * (FILLED_TOTALS.get(msg_id, 60) - wire.HEADER.size)
    struct.pack_into('<I', body, 0, camera)
    if msg_id in (20206, 20207):
        body[0:8] = struct.pack('<II', 0, camera)
    return msg_id, bytes(body)
