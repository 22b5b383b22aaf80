#!/usr/bin/env python3
"""The simulated camera service on loopback, whole, for trying the client
without an account: the login server with a demo account and a few fisheye
cameras, the management server, a LAN camera and a video server streaming a
fisheye test picture with the camera's private panorama SEI, a web server
with the camera-type and lens tables, and a fresh data folder whose
Config.ini points the client at all of it.

usage: demo_service.py [--folder DIR] [--cameras N] [--account NAME:PASSWORD]
                       [--clip-seconds S] [--seconds S] [--info-file FILE]
                       [--run PROGRAM [ARGUMENTS...]]

Runs in the foreground and prints what it started; Ctrl-C (or SIGTERM, or
--seconds) stops every process it started. --run starts the client (or any
program) with APPDATA set to the prepared data folder once the service is
up; the service stops when that program ends, and the script ends with the
program's exit status. Without --folder it works in a
new temporary folder and removes it at the end (kept, for its logs, when
something failed). --info-file gets the same
facts as JSON (ports, account, data folder, cameras, process ids) once the
service is up.

The servers are tools/camsim's; the picture comes from ffmpeg (a test
pattern seen through a 180-degree lens) and carries a private SEI of kind 3
made by tools/streamfix/stream_fixture.py. Every camera plays that one
picture, round after round. Only Python's standard library is used.
"""

import argparse
import functools
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(TOOLS, "streamfix"))
import stream_fixture  # noqa: E402

PROGRAM_FOLDER = "OstrelS"  # the client's data folder inside APPDATA
LOOPBACK = "127.0.0.1"
FRAME_RATE = 25
WIDTH, HEIGHT = 640, 480
CIRCLE = 480  # the lens circle's diameter, centred in the picture
MOUNT_PITCH = 90  # a ceiling mount: the lens looks down
LENS_NUMBER = 77

# Names and models of the cameras; every model is a panoramic camera type
# (the model rule gives 1: eight characters before the dash, 12 or less at
# position 6, no "Y").
CAMERAS = [
    ("Lobby", "QNF1CE12-360"),
    ("Hall", "QNF1WL10-360"),
    ("Garden", "QNF1FL08-360"),
    ("Garage", "QNF1CE12-360"),
    ("Office", "QNF1WL10-360"),
    ("Store", "QNF1FL08-360"),
]
FIRST_CAMERA_ID = 1001

# Camera-type table: the series of the models above.
CAMERA_TYPES = [{"camera_type": "QNF1", "series": "3"}]

# The service region of the client and of every camera: a camera of another
# region would ask the user to sign in again on that region's server.
REGION = "sh"


def log(text):
    print(text, flush=True)


# The media -----------------------------------------------------------------

def sei_fields():
    """The panorama SEI of the test picture: a 640 x 480 picture (3:4) with
    the lens circle in its middle, 360 degrees around. The security words
    name the default key with no frame kind protected, so the picture plays
    as it is (words of 0 would put 00 00 00 into the unit)."""
    fields = dict(stream_fixture.FIELDS)
    fields.update(nibble=3, width=WIDTH, num=3, den=4, lens_type=5, lens_number=LENS_NUMBER, pan_range=360,
                  off_x=255, off_y=255, radius2=CIRCLE // 4, rate1=FRAME_RATE, rate2=FRAME_RATE, size=72, sec_low=0x01010100)
    return fields


def make_clip(folder, seconds):
    """An H.264 clip with 4-byte start codes, a key frame every second and the
    private SEI before every key frame; returns its path."""
    raw = os.path.join(folder, "fisheye_raw.h264")
    graph = ("testsrc2=s=1536x768:rate=%d,v360=input=e:output=fisheye:h_fov=180:v_fov=180:pitch=%d:w=%d:h=%d,"
             "pad=%d:%d:%d:%d" % (FRAME_RATE, MOUNT_PITCH, CIRCLE, CIRCLE, WIDTH, HEIGHT, (WIDTH - CIRCLE) // 2,
                                  (HEIGHT - CIRCLE) // 2))
    made = subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", graph, "-t", str(seconds),
                           "-c:v", "libx264", "-preset", "veryfast", "-g", str(FRAME_RATE), "-bf", "0",
                           "-pix_fmt", "yuv420p", "-f", "h264", raw], stdin=subprocess.DEVNULL)
    if made.returncode != 0:
        raise SystemExit("ffmpeg could not make the picture")
    unit = stream_fixture.build_unit(3, sei_fields())
    if not stream_fixture.emulation_free(unit):
        raise SystemExit("the panorama SEI's fields put 00 00 0x into the unit")
    with open(raw, "rb") as f:
        data = f.read()
    clip = os.path.join(folder, "fisheye.h264")
    with open(clip, "wb") as f:
        f.write(stream_fixture.inject(stream_fixture.four_byte(data), bytes(unit)))
    return clip


# The web server's tables ---------------------------------------------------

def identity_lens_record(lens_id):
    """A 96-byte lens-correction record that maps every point of the picture
    to itself: the ten coefficients of x and of y are 0 but x's linear one
    and y's, which are 1 in fixed point (2^26)."""
    one = 1 << 26
    head = 0 | WIDTH << 4 | HEIGHT << 18 | 1000 << 43 | 10 << 57
    sizes = WIDTH | HEIGHT << 14 | lens_id << 28
    a = [0, one] + [0] * 8
    b = [0, 0, 0, one] + [0] * 6
    record = head.to_bytes(8, "little") + sizes.to_bytes(8, "little")
    for value in a + b:
        record += (value & 0xFFFFFFFF).to_bytes(4, "little")
    return record


def write_tables(site):
    """The files the web server answers with: the camera-type and lens tables
    ("/Index/showCameraType", "/Index/getLensConfig"), the region prefix
    ("/Index/GetUrlPrefix?code=..." for any code) and the version check
    ("/Index/CheckClientVesion?...": -1, nothing newer)."""
    index = os.path.join(site, "Index")
    os.makedirs(index, exist_ok=True)
    lens = [{"PanoTypeEx": str(stream_fixture.type_code(sei_fields())), "sensor": "demo sensor",
             "lens": "demo 180", "byte": identity_lens_record(LENS_NUMBER).hex()}]
    answers = {"showCameraType": json.dumps(CAMERA_TYPES), "getLensConfig": json.dumps(lens),
               "GetUrlPrefix": REGION, "CheckClientVesion": "-1"}
    for name, text in answers.items():
        with open(os.path.join(index, name), "w", encoding="utf-8") as f:
            f.write(text)


class QuietFiles(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def start_web_server(site):
    server = http.server.ThreadingHTTPServer((LOOPBACK, 0), functools.partial(QuietFiles, directory=site))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# The client's data folder --------------------------------------------------

def write_endpoint_section(appdata, login_port, web_base):
    """The Config.ini that tells the client where the service is (and that it
    is in the cameras' region); returns the file's path."""
    folder = os.path.join(appdata, PROGRAM_FOLDER)
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "Config.ini")
    with open(path, "w", encoding="utf-8") as f:
        f.write("[Service]\nLoginHost=%s\nLoginPort=%d\nWebServer=%s\n" % (LOOPBACK, login_port, web_base))
        f.write("[Config]\nLOCA=%s\n" % REGION)
    return path


# The simulated servers -----------------------------------------------------

class Peers:
    """The processes started, each in a session of its own so that the
    terminal's Ctrl-C reaches only this script, which ends them in order.
    Each ends by itself when its standard input closes, so none outlives
    this script even when it is killed."""

    def __init__(self, folder, max_seconds):
        self.folder = folder
        self.max_seconds = max_seconds
        self.processes = []  # (name, Popen)

    def start(self, name, module, arguments):
        port_file = os.path.join(self.folder, name + ".port")
        command = [sys.executable, "-m", module] + arguments + ["--port-file", port_file,
                                                               "--max-seconds", str(self.max_seconds)]
        env = dict(os.environ, PYTHONPATH=os.path.join(TOOLS, "camsim"))
        with open(os.path.join(self.folder, name + ".log"), "wb") as errors:
            process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=errors, stderr=errors,
                                       env=env, start_new_session=True)
        self.processes.append((name, process))
        return self.wait_port(name, process, port_file)

    def wait_port(self, name, process, port_file, limit=30.0):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            try:
                with open(port_file, encoding="ascii") as f:
                    return int(f.read().split()[0])
            except (OSError, ValueError, IndexError):
                pass
            if process.poll() is not None:
                break
            time.sleep(0.05)
        raise SystemExit("%s did not start; see %s" % (name, os.path.join(self.folder, name + ".log")))

    def ended(self):
        """The name of a process that ended by itself, or None."""
        for name, process in self.processes:
            if process.poll() is not None:
                return name
        return None

    def stop(self):
        """Closes every standard input, then waits; a process that does not
        end in time is killed."""
        for _name, process in reversed(self.processes):
            try:
                process.stdin.close()
            except OSError:
                pass
        deadline = time.monotonic() + 5.0
        for _name, process in self.processes:
            try:
                process.wait(max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def device_file(folder, count):
    cameras = []
    for i, (name, model) in enumerate(CAMERAS[:count]):
        camera_id = FIRST_CAMERA_ID + i
        cameras.append({"id": camera_id, "identity": "QNDEMO%07d" % camera_id, "model": model, "name": name,
                        "text": "", "short_text": REGION})
    path = os.path.join(folder, "devices.json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(cameras, f, indent=1)
    return path, cameras


def start_service(peers, folder, clip, account, cameras_file, frame_gap):
    """Starts the media peers, the management server and the login server;
    returns their ports."""
    ports = {}
    media = ["--h264", clip, "--any-camera", "--loop", "--frame-gap", str(frame_gap)]
    ports["camera"] = peers.start("lan_camera", "camsim.lan_camera",
                                  media + ["--manifest", os.path.join(folder, "lan_camera.manifest")])
    ports["video"] = peers.start("video_server", "camsim.video_server",
                                 media + ["--manifest", os.path.join(folder, "video_server.manifest")])
    ports["mgr"] = peers.start("mgr", "camsim", ["mgr", "--port", "0", "--video-port", str(ports["video"]),
                                                 "--camera-port", str(ports["camera"])])
    ports["login"] = peers.start("login", "camsim", ["login", "--port", "0", "--account", account, "--device-file",
                                                     cameras_file, "--mgr-port", str(ports["mgr"])])
    return ports


# The run ---------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(prog="demo_service.py", description=__doc__.split("\n\n")[0])
    p.add_argument("--folder", help="work in this folder and leave it (default: a new temporary folder, removed)")
    p.add_argument("--cameras", type=int, default=3, choices=range(1, len(CAMERAS) + 1), metavar="N",
                   help="cameras of the account (1 to %d, default 3)" % len(CAMERAS))
    p.add_argument("--account", default="demo:demo360", help="NAME:PASSWORD (default demo:demo360)")
    p.add_argument("--clip-seconds", type=int, default=10, help="length of the picture that plays round after round")
    p.add_argument("--seconds", type=float, default=0, help="stop after this many seconds (default: on Ctrl-C)")
    p.add_argument("--info-file", help="write what was started as JSON here once it is up")
    p.add_argument("--run", nargs=argparse.REMAINDER, metavar="PROGRAM",
                   help="then start PROGRAM (the rest of the line) with APPDATA set; the service stops when it ends")
    args = p.parse_args(argv)
    if ":" not in args.account:
        p.error("--account takes NAME:PASSWORD")
    if args.clip_seconds < 1:
        p.error("--clip-seconds takes a whole number of seconds, 1 or more")
    if args.run is not None and not args.run:
        p.error("--run takes a program")
    return args


def write_info(path, info):
    temporary = path + ".part"
    with open(temporary, "w", encoding="utf-8") as f:
        json.dump(info, f, indent=1)
    os.replace(temporary, path)


def report(info):
    log("The simulated camera service runs on %s:" % LOOPBACK)
    log("  login server     port %d  (account %r, password %r)" % (info["ports"]["login"], info["account"],
                                                                   info["password"]))
    log("  management       port %d" % info["ports"]["mgr"])
    log("  video server     UDP port %d" % info["ports"]["video"])
    log("  LAN camera       TCP port %d" % info["ports"]["camera"])
    log("  web tables       %s/Index/showCameraType, /Index/getLensConfig" % info["web"])
    for camera in info["cameras"]:
        log("  camera %d  %-8s %s" % (camera["id"], camera["name"], camera["model"]))
    log("  APPDATA=%s" % info["appdata"])
    log("  (its %s)" % info["config"])
    if not info["program"]:
        log("Start the client with that APPDATA and sign in; Ctrl-C stops the service.")


def start_program(command, appdata):
    """The client, started with the prepared data folder in the terminal's
    process group, so that Ctrl-C reaches it too."""
    try:
        return subprocess.Popen(command, env=dict(os.environ, APPDATA=appdata))
    except OSError as error:
        raise SystemExit("could not start %s: %s" % (command[0], error))


def end_program(program):
    if program is None or program.poll() is not None:
        return
    program.terminate()
    try:
        program.wait(5.0)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()


def run(args):
    own_folder = args.folder is None
    folder = tempfile.mkdtemp(prefix="ostrels-demo-") if own_folder else os.path.abspath(args.folder)
    os.makedirs(folder, exist_ok=True)
    stop = threading.Event()

    def on_signal(_number, _frame):
        stop.set()

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)
    # A limit for the peers too, should this script be stopped in a way it cannot see.
    max_seconds = args.seconds + 60 if args.seconds > 0 else 30 * 24 * 3600
    peers = Peers(folder, max_seconds)
    web = None
    program = None
    result = 1
    try:
        name, _, password = args.account.partition(":")
        clip = make_clip(folder, args.clip_seconds)
        cameras_file, cameras = device_file(folder, args.cameras)
        ports = start_service(peers, folder, clip, args.account, cameras_file, 1.0 / FRAME_RATE)
        site = os.path.join(folder, "web")
        write_tables(site)
        web = start_web_server(site)
        web_base = "http://%s:%d" % (LOOPBACK, web.server_address[1])
        appdata = os.path.join(folder, "appdata")
        config = write_endpoint_section(appdata, ports["login"], web_base)
        info = {"ports": ports, "web": web_base, "account": name, "password": password, "appdata": appdata,
                "config": config, "clip": clip, "pid": os.getpid(),
                "peers": {peer: process.pid for peer, process in peers.processes},
                "cameras": [{"id": c["id"], "name": c["name"], "model": c["model"]} for c in cameras],
                "program": args.run or []}
        report(info)
        if args.info_file:
            write_info(args.info_file, info)
        if args.run:
            program = start_program(args.run, appdata)
        deadline = time.monotonic() + args.seconds if args.seconds > 0 else None
        while not stop.wait(0.5 if program is None else 0.1):
            ended = peers.ended()
            if ended:
                log("%s ended by itself; see %s" % (ended, os.path.join(folder, ended + ".log")))
                return result
            if program is not None and program.poll() is not None:
                # A program ended by a signal reports it as a shell does.
                result = program.returncode if program.returncode >= 0 else 128 - program.returncode
                return result
            if deadline is not None and time.monotonic() >= deadline:
                break
        result = 0
        return result
    finally:
        end_program(program)
        if web is not None:
            web.shutdown()
            web.server_close()
        peers.stop()
        if own_folder and result == 0:
            shutil.rmtree(folder, ignore_errors=True)
        elif own_folder:
            log("Its folder %s is kept for its logs." % folder)
        log("The simulated camera service stopped.")


def main(argv=None):
    return run(parse_args(sys.argv[1:] if argv is None else argv))


if __name__ == "__main__":
    sys.exit(main())
