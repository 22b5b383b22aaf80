"""A camera on the local network, over TCP: answers the stream handshake,
streams an H.264 file (and A-law audio) as media blocks, keeps the talk
packets it receives, and logs every message.

    python3 -m camsim.lan_camera --port-file P --h264 live.264 --manifest M ...

The handshake: every 40001 is logged and the first one is answered with a
40002 (camera id and two values); the client echoes it. A 40013 is answered
with a 40014 of 44 bytes (camera id at body offset 12), or of --answer-total
bytes, and starts the stream. --foreign sends one block of another camera
first; the client answers it with a 40015. --loss, --dup and --reorder
change the stream as a faulty camera would (see media_peer.sending_plan).

--first-block-delay S holds the first media block back S seconds (a negative
value: the stream never starts). --card serves a card recording too: a
client that echoes the 40002 and asks for no live stream (40013) within
0.3 s gets the file as stream 2, as a camera playing a card recording does
once the management server passed the playback start on (the simulation
does not wait for that message). A 40015 from the client ends the stream;
each connection gets a stream of its own.

--any-camera serves the camera a client's 40001 names; --loop streams the
file round after round.
"""

import copy
import socket
import struct
import sys
import threading
import time

from . import media_blocks, media_peer, wire


def stream_blocks(conn, send_lock, stream, plan, camera, args, stop):
    if args.first_block_delay < 0 or stop.wait(args.first_block_delay):
        return
    try:
        if args.foreign:
            body = media_blocks.block_body(camera + 1, media_blocks.KEY, args.stream, 1, 0, 0, 1, b'\x00' * 10)
            with send_lock:
                conn.sendall(wire.frame(media_blocks.MEDIA_BLOCK, body))
        for message in media_peer.paced(media_peer.rounds(stream, plan, camera, args.loop), args.frame_gap, stop):
            with send_lock:
                conn.sendall(message)
    except OSError:
        pass  # the client went away


CARD_WAIT = 0.3


def serve(conn, plans, recorder, args, stop):
    """Serves one connection; its stream ends with it."""
    ended = threading.Event()
    try:
        return serve_until(conn, plans, recorder, args, stop, ended)
    finally:
        ended.set()


def serve_until(conn, plans, recorder, args, stop, ended):
    """`plans` holds the live (stream, plan) and, with --card, the card's."""
    send_lock = threading.Lock()
    streaming = None
    streaming_lock = threading.Lock()
    live_asked = threading.Event()
    answered = False
    camera = args.camera
    pending = b''
    conn.settimeout(0.2)

    def start_stream(stream_plan):
        nonlocal streaming
        with streaming_lock:
            if streaming is None:
                streaming = threading.Thread(target=stream_blocks,
                                             args=(conn, send_lock, *stream_plan, camera, args, ended),
                                             daemon=True)
                streaming.start()

    def card_unless_live():
        if not live_asked.wait(CARD_WAIT) and not ended.is_set():
            start_stream(plans[1])

    while not stop.is_set():
        try:
            data = conn.recv(65536)
        except socket.timeout:
            continue
        except OSError:
            break
        if not data:
            break
        try:
            messages, pending = media_blocks.split_messages(pending + data)
        except ValueError as error:
            recorder.record(-1, 0, b'', error=str(error))
            return 1
        for msg_id, total, body in messages:
            extra = {}
            if msg_id == media_blocks.TALK and len(body) >= 12:
                extra['sequence'] = struct.unpack_from('<I', body, 8)[0]
            recorder.record(msg_id, total, body, at=time.monotonic(), **extra)
            if msg_id == media_blocks.STUN_REQUEST and not answered:
                answered = True
                if args.any_camera and len(body) >= 4:
                    camera = struct.unpack_from('<I', body, 0)[0]
                with send_lock:
                    conn.sendall(wire.frame(media_blocks.STUN_ANSWER, struct.pack('<III', camera, 0x1111, 0x2222)))
            elif msg_id == media_blocks.STUN_ANSWER and len(plans) > 1:
                threading.Thread(target=card_unless_live, daemon=True).start()
            elif msg_id == media_blocks.CONNECT_VIDEO:
                answer = media_blocks.fixed_answer(media_blocks.CONNECT_ANSWER, camera)
                if args.answer_total != 44:
                    answer = wire.frame(media_blocks.CONNECT_ANSWER, answer[20:args.answer_total])
                live_asked.set()
                with send_lock:
                    conn.sendall(answer)
                start_stream(plans[0])
            elif msg_id == media_blocks.CLOSE_CHANNEL and len(body) >= 16 and \
                    struct.unpack_from('<I', body, 12)[0] == camera:
                return 0
    return 0


def main(argv=None):
    p = media_peer.parser('camsim.lan_camera')
    p.add_argument('--answer-total', type=int, default=44)
    p.add_argument('--foreign', action='store_true')
    p.add_argument('--first-block-delay', type=float, default=0.0)
    p.add_argument('--card', action='store_true')
    args = p.parse_args(argv)
    plans = [media_peer.load_stream(args)]
    if args.card:
        card = copy.copy(args)
        card.stream = 2
        plans.append(media_peer.load_stream(card))
    recorder = media_blocks.Recorder(args.log, args.talk_out)
    stop = threading.Event()
    media_peer.stop_on_stdin_end(stop, args.max_seconds)
    with socket.create_server(('127.0.0.1', args.port)) as server:
        server.settimeout(0.2)
        media_peer.write_port(args.port_file, server.getsockname()[1])
        while not stop.is_set():
            try:
                conn, _ = server.accept()
            except socket.timeout:
                continue
            with conn:
                result = serve(conn, plans, recorder, args, stop)
                if result:
                    return result
    return 0


if __name__ == '__main__':
    sys.exit(main())
