"""What the simulated LAN camera and video server share: their command line,
start-up and end."""

import argparse
import itertools
import os
import random
import sys
import threading
import time

from . import media_blocks, wire


def parser(prog):
    p = argparse.ArgumentParser(prog=prog)
    p.add_argument('--port', type=int, default=0)
    p.add_argument('--port-file', required=True)
    p.add_argument('--h264', required=True, help='H.264 elementary stream to send')
    p.add_argument('--alaw', help='A-law audio, 320 bytes per video frame')
    p.add_argument('--camera', type=int, default=7)
    p.add_argument('--stream', type=int, default=1)
    p.add_argument('--manifest', required=True, help='writes one JSON line per frame sent')
    p.add_argument('--log', help='writes one JSON line per message received')
    p.add_argument('--talk-out', help='collects the audio of the talk packets')
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--dup', type=float, default=0.0, help='share of video blocks sent twice')
    p.add_argument('--loss', type=float, default=0.0, help='share of blocks lost on their first sending')
    p.add_argument('--reorder', type=int, default=0, help='size of the local reordering window')
    p.add_argument('--frame-gap', type=float, default=0.002, help='seconds between frames')
    p.add_argument('--first-frame', type=int, default=1, help='number of the first frame')
    p.add_argument('--max-seconds', type=float, default=120)
    p.add_argument('--any-camera', action='store_true',
                   help='serve whichever camera a client asks for, as if the file were that camera\'s')
    p.add_argument('--loop', action='store_true',
                   help='start the file again after its last frame, frame numbers and serials going on')
    return p


def load_stream(args):
    with open(args.h264, 'rb') as f:
        h264 = f.read()
    alaw = b''
    if args.alaw:
        with open(args.alaw, 'rb') as f:
            alaw = f.read()
    stream = media_blocks.Stream(h264, alaw, args.camera, args.stream, args.first_frame)
    plan, lost = sending_plan(stream, args)
    for entry in stream.manifest:
        if 'frame' in entry:
            entry['intact'] = entry['frame'] not in lost
    stream.write_manifest(args.manifest)
    return stream, plan


def sending_plan(stream, args):
    """The media messages in sending order after loss, repetition and local
    reordering, and the numbers of the video frames that lost a block.

    Blocks of the last three frames are never lost, so that every loss has a
    later block that reveals it. Audio blocks are never repeated: the client
    passes them through as they come."""
    rng = random.Random(args.seed)
    window = []
    out = []
    lost = set()
    for number, frame_type, _serial, body in stream.items:
        message = wire.frame(media_blocks.MEDIA_BLOCK, body)
        protected = number > stream.last_frame - 3
        if not protected and rng.random() < args.loss:
            if frame_type != media_blocks.AUDIO:
                lost.add(number)
            continue
        copies = 2 if frame_type != media_blocks.AUDIO and rng.random() < args.dup else 1
        for _ in range(copies):
            window.append((number, message))
        while len(window) > args.reorder:
            out.append(window.pop(rng.randrange(len(window)) if rng.random() < 0.5 else 0))
    out.extend(window)
    return out, lost


def write_port(path, port):
    temporary = path + '.part'
    with open(temporary, 'w', encoding='ascii') as f:
        f.write('%d\n' % port)
    os.replace(temporary, path)


def stop_on_stdin_end(stop, limit):
    """Sets `stop` when standard input closes or after `limit` seconds."""

    def drain():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        finally:
            stop.set()

    threading.Thread(target=drain, daemon=True).start()
    timer = threading.Timer(limit, stop.set)
    timer.daemon = True
    timer.start()


def rounds(stream, plan, camera, loop):
    """(frame number, message) of `plan` as camera `camera` sends them: once,
    or with `loop` round after round (see media_blocks.Stream.restamped)."""
    for round_ in itertools.count() if loop else (0,):
        for number, message in plan:
            yield number + round_ * stream.frame_count, stream.restamped(message, camera, round_)


def resent_block(stream, serial, camera, loop):
    """The message of the video block with this serial, or None when the
    stream never sent it."""
    round_, base = divmod(serial, stream.video_blocks) if stream.video_blocks else (0, serial)
    body = stream.by_serial.get(base)
    if body is None or (round_ and not loop):
        return None
    return stream.restamped(wire.frame(media_blocks.MEDIA_BLOCK, body), camera, round_)


def paced(plan, frame_gap, stop):
    """The messages of `plan`, each frame `frame_gap` seconds after the one
    before, until `stop` is set."""
    last = None
    for number, message in plan:
        if stop.is_set():
            return
        if last is not None and number != last:
            time.sleep(frame_gap)
        last = number
        yield message
