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
"""

import socket
import struct
import sys
import threading
import time

from . import media_blocks, media_peer, wire


def stream_blocks(conn, send_lock, plan, args, stop):
    if args.foreign:
        body = media_blocks.block_body(args.camera + 1, media_blocks.KEY, args.stream, 1, 0, 0, 1, b'\x00' * 10)
        with send_lock:
            conn.sendall(wire.frame(media_blocks.MEDIA_BLOCK, body))
    last = None
    for number, message in plan:
        if stop.is_set():
            return
        if last is not None and number != last:
            time.sleep(args.frame_gap)
        last = number
        with send_lock:
            conn.sendall(message)


def serve(conn, plan, recorder, args, stop):
    send_lock = threading.Lock()
    streaming = None
    answered = False
    pending = b''
    conn.settimeout(0.2)
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
                with send_lock:
                    conn.sendall(wire.frame(media_blocks.STUN_ANSWER, struct.pack('<III', args.camera, 0x1111, 0x2222)))
            elif msg_id == media_blocks.CONNECT_VIDEO:
                answer = media_blocks.fixed_answer(media_blocks.CONNECT_ANSWER, args.camera)
                if args.answer_total != 44:
                    answer = wire.frame(media_blocks.CONNECT_ANSWER, answer[20:args.answer_total])
                with send_lock:
                    conn.sendall(answer)
                if streaming is None:
                    streaming = threading.Thread(target=stream_blocks, args=(conn, send_lock, plan, args, stop),
                                                 daemon=True)
                    streaming.start()
    return 0


def main(argv=None):
    p = media_peer.parser('camsim.lan_camera')
    p.add_argument('--answer-total', type=int, default=44)
    p.add_argument('--foreign', action='store_true')
    args = p.parse_args(argv)
    _stream, plan = media_peer.load_stream(args)
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
                result = serve(conn, plan, recorder, args, stop)
                if result:
                    return result
    return 0


if __name__ == '__main__':
    sys.exit(main())
