"""Command line: python3 -m camsim login|stream ..."""

import argparse
import os
import sys
import threading

from . import camera_file, card_index, login_server, mgr_server, play_routes, stream_model


def wait_for_stdin_end(limit):
    """Returns when standard input closes or after `limit` seconds."""
    done = threading.Event()

    def drain():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        finally:
            done.set()

    threading.Thread(target=drain, daemon=True).start()
    done.wait(limit)


def follow_commands(service, limit):
    """Runs "push ID CAMERA" lines from standard input until it closes or `limit` seconds pass."""
    done = threading.Event()

    def read():
        try:
            for line in iter(sys.stdin.readline, ''):
                words = line.split()
                if len(words) == 3 and words[0] == 'push':
                    service.push(int(words[1]), int(words[2]))
        finally:
            done.set()

    threading.Thread(target=read, daemon=True).start()
    done.wait(limit)


def write_port(path, port):
    """The port, then the process id (a test may stop and continue the server)."""
    temporary = path + '.part'
    with open(temporary, 'w', encoding='ascii') as f:
        f.write('%d\n%d\n' % (port, os.getpid()))
    os.replace(temporary, path)


def build_routes(args):
    """The play answers when the command line names a simulated peer or a play option."""
    if not any((args.video_port, args.camera_port, args.offline, args.files != 2, args.compact_files,
                args.alternate, args.card_files is not None)):
        return None
    video = ('127.0.0.1', args.video_port) if args.video_port else None
    camera = ('127.0.0.1', args.camera_port) if args.camera_port else None
    return play_routes.PlayRoutes(video, camera, args.offline, args.files, args.compact_files, args.alternate,
                                  args.card_files)


def main(argv=None):
    parser = argparse.ArgumentParser(prog='camsim')
    commands = parser.add_subparsers(dest='command', required=True)

    login = commands.add_parser('login', help='run the login server')
    login.add_argument('--port', type=int, default=19000)
    login.add_argument('--port-file')
    login.add_argument('--account', action='append', default=[], help='NAME:PASSWORD')
    login.add_argument('--devices', type=int, default=3)
    login.add_argument('--shared', type=int, default=0)
    login.add_argument('--device-file', help='the devices (identity, model, name, text) as a JSON list; '
                       'replaces --devices and --shared')
    login.add_argument('--fault', action='append', default=[], help='KIND[:ID[:ARG]]')
    login.add_argument('--mgr-port', type=int, default=20000)
    login.add_argument('--log')
    login.add_argument('--chunk-seed', type=int)
    login.add_argument('--max-seconds', type=float, default=300)

    mgr = commands.add_parser('mgr', help='run the management server')
    mgr.add_argument('--port', type=int, default=20000)
    mgr.add_argument('--port-file')
    mgr.add_argument('--fault', action='append', default=[], help='KIND[:ID]')
    mgr.add_argument('--log')
    mgr.add_argument('--max-seconds', type=float, default=300)
    mgr.add_argument('--alarm-picture', help='the picture file an alarm-picture or panorama request gets')
    mgr.add_argument('--video-port', type=int, help='the simulated video server that live play and playback use')
    mgr.add_argument('--camera-port', type=int, help='the simulated LAN camera that the local route uses')
    mgr.add_argument('--offline', action='store_true', help='cameras answer the online check as off line')
    mgr.add_argument('--files', type=int, default=2, help='files a card search finds (a page holds 16)')
    mgr.add_argument('--compact-files', action='store_true',
                     help='answer card searches with 208 12-byte entries')
    mgr.add_argument('--card-files', type=int,
                     help='the card holds this many one-minute files from 2026-12-10 00:00:30; '
                          'a search pages through them from its start time')
    mgr.add_argument('--cloud-store', help='answer the cloud credentials request from this store.txt')
    mgr.add_argument('--card-index', help='recorded minutes of every day the card index search names, '
                     'as "0-4,30,1439"')
    mgr.add_argument('--index-fault', action='append', default=[],
                     help='shuffle, duplicate, wrong-day, all-wrong-day or drop:N (see card_index)')
    mgr.add_argument('--index-out', help='append the spans a correct client finds, one JSON line per search')
    mgr.add_argument('--camera-file', help='per camera: Wi-Fi record, card values, storage location and online '
                     'state, as a JSON list (see camera_file)')
    mgr.add_argument('--alternate', action='store_true',
                     help='video-address answers name the camera and the video server in turn')

    stream = commands.add_parser('stream', help='send a seeded frame stream')
    stream.add_argument('--port', type=int, required=True)
    stream.add_argument('--udp', action='store_true')
    stream.add_argument('--seed', type=int, default=1)
    stream.add_argument('--items', type=int, default=400)
    stream.add_argument('--expect', required=True)

    args = parser.parse_args(argv)
    if args.command == 'login':
        accounts = dict(a.split(':', 1) for a in (args.account or ['demo:secret']))
        faults = [login_server.Fault(f) for f in args.fault]
        service = login_server.LoginService(accounts, args.devices, args.shared, faults, args.mgr_port,
                                            args.log, args.chunk_seed,
                                            login_server.read_device_file(args.device_file) if args.device_file else None)
        server = login_server.start(service, args.port)
        port = server.server_address[1]
        if args.port_file:
            write_port(args.port_file, port)
        else:
            print('PORT %d' % port, flush=True)
        wait_for_stdin_end(args.max_seconds)
        server.shutdown()
        return 0
    if args.command == 'mgr':
        service = mgr_server.MgrService([login_server.Fault(f) for f in args.fault], args.log, build_routes(args),
                                       args.alarm_picture, args.cloud_store,
                                       card_index.parse_minutes(args.card_index), args.index_fault, args.index_out,
                                       camera_file.read(args.camera_file) if args.camera_file else None)
        server = mgr_server.start(service, args.port)
        port = server.server_address[1]
        if args.port_file:
            write_port(args.port_file, port)
        else:
            print('PORT %d' % port, flush=True)
        follow_commands(service, args.max_seconds)
        server.shutdown()
        return 0
    return stream_model.run(args)


if __name__ == '__main__':
    sys.exit(main())
