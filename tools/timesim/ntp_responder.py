#!/usr/bin/env python3
"""An NTP server on loopback for tests, written from RFC 5905's packet
layout: every 48-byte client request (mode 3) gets a server reply (mode 4,
stratum 1) whose receive and transmit times are the chosen time, with the
request's transmit time as the originate time.

usage: ntp_responder.py STATE_DIR UNIX_SECONDS

Binds an unprivileged UDP port on 127.0.0.1, writes it to STATE_DIR/port.txt,
counts the requests it answered in STATE_DIR/requests.txt and serves until
its standard input closes (at most 600 seconds). Only Python's standard
library is used.
"""
import os
import select
import socket
import struct
import sys
import time

NTP_TO_UNIX = 2208988800


def reply_for(request, unix_seconds):
    """The 48-byte answer to a request, or None when it is no client request."""
    if len(request) < 48 or (request[0] & 7) != 3:
        return None
    version = (request[0] >> 3) & 7
    seconds = (unix_seconds + NTP_TO_UNIX) & 0xFFFFFFFF
    stamp = struct.pack('>II', seconds, 0)
    head = struct.pack('>BBbb', (version << 3) | 4, 1, 0, -20) + bytes(8) + b'LOCL'
    return head + stamp + request[40:48] + stamp + stamp


def write_file(state, name, text):
    temporary = os.path.join(state, name + '.tmp')
    with open(temporary, 'w') as out:
        out.write(text)
    os.replace(temporary, os.path.join(state, name))


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    state, unix_seconds = argv[1], int(argv[2])
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(('127.0.0.1', 0))
    write_file(state, 'port.txt', str(sock.getsockname()[1]))
    answered = 0
    started = time.monotonic()
    while time.monotonic() - started < 600:
        readable, _, _ = select.select([sock, sys.stdin], [], [], 1.0)
        if sys.stdin in readable and not sys.stdin.buffer.read1(4096):
            break
        if sock in readable:
            request, source = sock.recvfrom(512)
            answer = reply_for(request, unix_seconds)
            if answer is not None:
                sock.sendto(answer, source)
                answered += 1
                write_file(state, 'requests.txt', str(answered))
    return 0


if __name__ == '__main__':
    sys.exit(main(list(sys.argv)))
