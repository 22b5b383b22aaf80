"""The video server, over UDP: answers the stream handshake, streams an H.264
file (and A-law audio) as media blocks with seeded loss, duplication and
reordering, sends again every block asked for with 40004, keeps the talk
packets it receives, and logs every datagram.

    python3 -m camsim.video_server --port-file P --h264 live.264 --manifest M ...

--server-close R sends a 40015 (camera id, R)
after the stream. --stray sends, from 127.0.0.2, a media block and a 40015
first: the client must ignore both. --hold-connect never answers a 40013,
so the client's connect-video times out. --any-camera serves the camera a
client's 40001 names; --loop streams the file round after round.

A 40001 from a new address begins a new session with that client (the
stream of the previous one ends), and so does one from the same address once
its session has connected (a client that bound the same port again); the
repeats of the 40001 that open a session are not answered again. A 40015
from the client ends its stream, and its next connect-video starts the
stream again.
"""

import socket
import struct
import sys
import threading
import time

from . import media_blocks, media_peer, wire


def stream_blocks(sock, client, stream, plan, camera, args, stop):
    if args.stray:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as stray:
            stray.bind(('127.0.0.2', 0))
            body = media_blocks.block_body(camera, media_blocks.KEY, args.stream, 1, 0, 0, 1, b'\x01' * 10)
            stray.sendto(wire.frame(media_blocks.MEDIA_BLOCK, body), client)
            stray.sendto(media_blocks.fixed_answer(media_blocks.CLOSE_CHANNEL, camera, 99), client)
        time.sleep(0.05)
    for message in media_peer.paced(media_peer.rounds(stream, plan, camera, args.loop), args.frame_gap, stop):
        sock.sendto(message, client)
    if stop.is_set():
        return
    if args.server_close is not None:
        time.sleep(0.3)
        sock.sendto(media_blocks.fixed_answer(media_blocks.CLOSE_CHANNEL, camera, args.server_close), client)


def main(argv=None):
    p = media_peer.parser('camsim.video_server')
    p.add_argument('--server-close', type=int)
    p.add_argument('--stray', action='store_true')
    p.add_argument('--hold-connect', action='store_true')
    args = p.parse_args(argv)
    stream, plan = media_peer.load_stream(args)
    recorder = media_blocks.Recorder(args.log, args.talk_out)
    stop = threading.Event()
    media_peer.stop_on_stdin_end(stop, args.max_seconds)
    client = None
    camera = args.camera
    connected = False  # the client's session got past its connect-video
    streaming = None
    ended = threading.Event()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
        sock.bind(('127.0.0.1', args.port))
        sock.settimeout(0.2)
        media_peer.write_port(args.port_file, sock.getsockname()[1])
        while not stop.is_set():
            try:
                datagram, source = sock.recvfrom(65536)
            except socket.timeout:
                continue
            if len(datagram) < wire.HEADER.size:
                recorder.record(-1, len(datagram), datagram, error='short datagram')
                continue
            magic, msg_id, _version, total, _ = wire.HEADER.unpack_from(datagram)
            body = datagram[wire.HEADER.size:]
            extra = {'at': time.monotonic(), 'length': len(datagram)}
            if magic != wire.MAGIC or total != len(datagram):
                extra['error'] = 'bad header'
            if msg_id == media_blocks.TALK and len(body) >= 12:
                extra['sequence'] = struct.unpack_from('<I', body, 8)[0]
            recorder.record(msg_id, total, body, **extra)
            if msg_id == media_blocks.STUN_REQUEST and (source != client or connected):
                ended.set()
                ended = threading.Event()
                client = source
                if args.any_camera and len(body) >= 4:
                    camera = struct.unpack_from('<I', body, 0)[0]
                connected = False
                streaming = None
                sock.sendto(wire.frame(media_blocks.STUN_ANSWER, struct.pack('<III', camera, 0x3333, 0x4444)),
                            client)
            elif msg_id == media_blocks.CONNECT_VIDEO and source == client and not args.hold_connect:
                sock.sendto(media_blocks.fixed_answer(media_blocks.CONNECT_ANSWER, camera), client)
                connected = True
                if streaming is None:
                    streaming = threading.Thread(target=stream_blocks,
                                                 args=(sock, client, stream, plan, camera, args, ended),
                                                 daemon=True)
                    streaming.start()
            elif msg_id == media_blocks.CLOSE_CHANNEL and source == client and len(body) >= 16 and \
                    struct.unpack_from('<I', body, 12)[0] == camera:
                # The stream ends; the client's next connect-video starts it
                # again from the first frame.
                ended.set()
                ended = threading.Event()
                streaming = None
            elif msg_id == media_blocks.RESEND and client is not None and len(body) >= 12:
                serial = struct.unpack_from('<I', body, 4)[0]
                block = media_peer.resent_block(stream, serial, camera, args.loop)
                if block is not None:
                    sock.sendto(block, client)
    return 0


if __name__ == '__main__':
    sys.exit(main())
