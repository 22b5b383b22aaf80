"""Checks request bodies written by the client against the transcribed tables.

Input: one line per request, "name msg_id key_camera kind body_hex", made with
the test values below. Exit status 0 when every line matches.

With --frames FRAMES CALLS: FRAMES is the management server's log of the
frames it received (one JSON object a line), CALLS names the requests a
client made over that connection, one a line in order, as "name" followed by
any "arg=value" (or "CAM=value", "U=value", ...) that replaces a test value. Every call must have sent exactly
its request, and nothing else may have been sent but heartbeats and the
sign-in.
"""

import json
import sys

from . import mgr_tables

# The values the client's test uses for every request.
TEST_VALUES = {
    'CAM': 0x01020304, 'U': 0x05060708, 'L': 0x090A0B0C, 'T': 0x0D0E0F10,
    'M': [192, 168, 0, 1], 'S': [10, 0, 0, 2], 'P': 18055,
    'token': [(i * 3 + 1) & 0xFF for i in range(128)],
    'args': {'a': 0x21, 'b': 0x22, 'a2': 0x32, 'a3': 0x33, 'a4': 0x34, 'a5': 0x35, 'a6': 0x36},
}
# The caller's record: byte i is 0x40 + i.
TEST_RECORD = bytes((0x40 + i) & 0xFF for i in range(256))


def run(path):
    failures = 0
    seen = set()
    for line in open(path, encoding='ascii'):
        name, msg_id, key, kind, body_hex = line.split()
        seen.add(name)
        want = mgr_tables.expected(name, TEST_VALUES, TEST_RECORD)
        want_kind = -1 if want[2] is None else want[2]
        got = (int(msg_id), int(key), int(kind), bytes.fromhex(body_hex))
        if got != (want[0], want[1], want_kind, want[3]):
            failures += 1
            print('MISMATCH %s: got id %s key %s kind %s len %d, want id %s key %s kind %s len %d' %
                  (name, got[0], got[1], got[2], len(got[3]), want[0], want[1], want_kind, len(want[3])))
            for i, (a, b) in enumerate(zip(got[3], want[3])):
                if a != b:
                    print('  first difference at byte %d: %02x != %02x' % (i, a, b))
                    break
    missing = set(mgr_tables.REQUESTS) - seen
    for name in sorted(missing):
        failures += 1
        print('MISSING %s' % name)
    return 1 if failures else 0


# Frames a signed-in client sends without being asked: heartbeat and sign-in.
UNASKED_IDS = (1, 20200)


def _call_values(words):
    values = dict(TEST_VALUES, args=dict(TEST_VALUES['args']))
    for word in words:
        key, value = word.split('=', 1)
        if key in ('CAM', 'U', 'L', 'T'):
            values[key] = int(value, 0)
        else:
            values['args'][key] = int(value, 0)
    return values


def run_frames(frames_path, calls_path):
    frames = [json.loads(line) for line in open(frames_path, encoding='utf-8') if line.strip()]
    frames = [f for f in frames if f['id'] not in UNASKED_IDS]
    calls = [line.split() for line in open(calls_path, encoding='ascii') if line.strip()]
    failures = 0
    for index, words in enumerate(calls):
        name = words[0]
        want_id, _, _, want_body = mgr_tables.expected(name, _call_values(words[1:]), TEST_RECORD)
        if index >= len(frames):
            failures += 1
            print('NOT SENT %s' % name)
            continue
        got_id, got_body = frames[index]['id'], bytes.fromhex(frames[index]['body'])
        if (got_id, got_body) != (want_id, want_body):
            failures += 1
            print('MISMATCH %s: got id %d len %d, want id %d len %d' %
                  (name, got_id, len(got_body), want_id, len(want_body)))
            for i, (a, b) in enumerate(zip(got_body, want_body)):
                if a != b:
                    print('  first difference at byte %d: %02x != %02x' % (i, a, b))
                    break
    for extra in frames[len(calls):]:
        failures += 1
        print('UNEXPECTED frame id %d sub %d' % (extra['id'], extra['sub']))
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == '--frames':
        sys.exit(run_frames(sys.argv[2], sys.argv[3]))
    sys.exit(run(sys.argv[1]))
