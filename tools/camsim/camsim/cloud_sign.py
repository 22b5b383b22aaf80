"""The cloud credentials answer to camera command 90001, from an object
store's "name=value" lines (as tools/cloudsim/moto_fixture.py writes them:
endpoint, region, bucket, prefix, access_key, secret_key, token).

The answer is three kinds of camera-command reply 20403, each inner payload
laid out as the client stores it into its 2344-byte credentials record:

- 90002: inner 0-11 the camera and the provider (record 0-11); inner 12, 16
  and 20 the validity start, the server's time and the lose time (record
  2220-2231); inner 24-183 the storage path "<bucket>/<prefix>" (64), the
  access key id (32) and the secret (64) (record 12-171);
- 90003, ten of them: the entry number n at inner 12 and 200 bytes of the
  session token at inner 20 (record 172 + 200 n);
- 90006, last, which completes the request: inner 12-123 the host (64), the
  region (32) and the service (16) (record 2232-2343).
"""

import struct
import time

from . import wire

PROVIDER = 1
TOKEN_PIECES = 10
TOKEN_PIECE = 200
# The credentials hold from a minute ago for an hour.
VALID_BEFORE = 60
VALID_AFTER = 3600


def read_store(path):
    """The store's values as a dict; a missing value is an error."""
    values = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            name, sep, value = line.rstrip('\n').partition('=')
            if sep:
                values[name] = value
    for name in ('endpoint', 'region', 'bucket', 'prefix', 'access_key', 'secret_key', 'token'):
        if name not in values:
            raise ValueError('%s names no %s' % (path, name))
    if len(values['token'].encode('utf-8')) > TOKEN_PIECES * TOKEN_PIECE:
        raise ValueError('the session token is longer than its %d pieces hold' % TOKEN_PIECES)
    return values


def answers(camera, store, now=None):
    """[(sub-command, inner payload)] of the credentials answer, in order."""
    now = int(time.time()) if now is None else now
    head = bytearray(220)
    struct.pack_into('<IIi', head, 0, camera, PROVIDER, 0)
    struct.pack_into('<III', head, 12, now - VALID_BEFORE, now, now + VALID_AFTER)
    head[24:88] = wire.text_field('%s/%s' % (store['bucket'], store['prefix']), 64)
    head[88:120] = wire.text_field(store['access_key'], 32)
    head[120:184] = wire.text_field(store['secret_key'], 64)
    replies = [(90002, bytes(head))]
    token = store['token'].encode('utf-8')
    for n in range(TOKEN_PIECES):
        piece = bytearray(220)
        struct.pack_into('<I', piece, 12, n)
        chunk = token[n * TOKEN_PIECE:(n + 1) * TOKEN_PIECE]
        piece[20:20 + len(chunk)] = chunk
        replies.append((90003, bytes(piece)))
    tail = bytearray(220)
    tail[12:76] = wire.text_field(store['endpoint'], 64)
    tail[76:108] = wire.text_field(store['region'], 32)
    tail[108:124] = wire.text_field('s3', 16)
    replies.append((90006, bytes(tail)))
    return replies
