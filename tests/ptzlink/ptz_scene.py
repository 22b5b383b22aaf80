"""A synthetic scene for the PTZ linkage tests, written apart from the
library: an equirectangular panorama, a pinhole PTZ camera that photographs
it, and the expected sub-image of a picture.

Panorama: 3600 x 1000 pixels, 10 pixels a degree, pan 0 ... 360 left to
right, tilt +50 (top) ... -50 (bottom). Pictures are B, G, R bytes.

usage:
  ptz_scene.py pano OUT                      write the panorama (B, G, R)
  ptz_scene.py shoot PANO AIMS OUTDIR        one picture per AIMS line
        "name pan tilt hfov width height" -> OUTDIR/name.raw
  ptz_scene.py subimage PANO pan tilt_code pan_extent tilt_extent ws hs OUT
        the sub-image the library should produce for a cell (B, G, R)
  ptz_scene.py union PANO width height first_pan pan_step top_tilt tilt_step OUT
        the panorama resampled on the union image's grid (B, G, R)
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("ptz_scene.py needs numpy: install the Debian package python3-numpy")
try:
    import cv2
except ImportError:
    sys.exit("ptz_scene.py needs OpenCV: install the Debian package python3-opencv")

PANO_W, PANO_H, PPD, TOP_TILT = 3600, 1000, 10.0, 50.0


def make_panorama():
    rng = np.random.default_rng(7)
    layers = []
    for sigma, weight in ((18, 0.6), (6, 0.3), (2.5, 0.1)):
        noise = rng.standard_normal((PANO_H, PANO_W, 3)).astype(np.float32)
        # Wrap horizontally so pan 360 meets pan 0 without a seam.
        padded = np.concatenate([noise[:, -64:], noise, noise[:, :64]], axis=1)
        blurred = cv2.GaussianBlur(padded, (0, 0), sigma)[:, 64:-64]
        layers.append(weight * blurred / blurred.std())
    tex = sum(layers)
    pano = np.clip(128 + 45 * tex, 0, 255).astype(np.uint8)
    # Sharp-edged shapes, like windows and walls, give the edge detector
    # something to find.
    for _ in range(900):
        x, y = int(rng.integers(0, PANO_W - 80)), int(rng.integers(0, PANO_H - 60))
        w, h = int(rng.integers(8, 80)), int(rng.integers(6, 60))
        colour = tuple(int(c) for c in rng.integers(20, 235, 3))
        cv2.rectangle(pano, (x, y), (x + w, y + h), colour, -1 if rng.random() < 0.6 else 3)
    return pano


def sample_pano(pano, pan_deg, tilt_deg):
    mapx = (np.mod(pan_deg, 360.0) * PPD).astype(np.float32)
    mapy = ((TOP_TILT - tilt_deg) * PPD).astype(np.float32)
    return cv2.remap(pano, mapx, mapy, cv2.INTER_LINEAR, borderMode=cv2.BORDER_WRAP)


def shoot(pano, pan, tilt, hfov, w, h):
    f = (w // 2) / np.tan(np.radians(hfov) / 2)
    u = np.arange(w, dtype=np.float64)[None, :] - w // 2
    v = np.arange(h, dtype=np.float64)[:, None] - h // 2
    u, v = np.broadcast_arrays(u, v)
    t = np.radians(tilt)
    # Camera frame: x forward, y right, z up; tilted about the y axis.
    X = f * np.cos(t) + v * np.sin(t)
    Y = u
    Z = f * np.sin(t) - v * np.cos(t)
    world_pan = pan + np.degrees(np.arctan2(Y, X))
    world_tilt = np.degrees(np.arctan2(Z, np.hypot(X, Y)))
    return sample_pano(pano, world_pan, world_tilt)


def expected_subimage(pano, pan_code, tilt_code, pan_extent, tilt_extent, ws, hs):
    dp = pan_extent / 128.0 / ws
    dt = tilt_extent / 128.0 / hs
    centre_tilt = tilt_code / 128.0 - 180.0
    m = np.arange(ws, dtype=np.float64)[None, :]
    k = np.arange(hs, dtype=np.float64)[:, None]
    pan = pan_code / 128.0 + (m - ws // 2) * dp
    tilt = (hs // 2 - k) * dt + centre_tilt
    pan, tilt = np.broadcast_arrays(pan, tilt)
    return sample_pano(pano, pan, tilt)


def load(path):
    return np.fromfile(path, dtype=np.uint8).reshape(PANO_H, PANO_W, 3)


def main():
    cmd = sys.argv[1]
    if cmd == "pano":
        make_panorama().tofile(sys.argv[2])
    elif cmd == "shoot":
        pano = load(sys.argv[2])
        for line in open(sys.argv[3]):
            if not line.strip():
                continue
            name, pan, tilt, hfov, w, h = line.split()
            shoot(pano, float(pan), float(tilt), float(hfov), int(w), int(h)).tofile(f"{sys.argv[4]}/{name}.raw")
    elif cmd == "subimage":
        pano = load(sys.argv[2])
        args = [int(v) for v in sys.argv[3:9]]
        expected_subimage(pano, *args).tofile(sys.argv[9])
    elif cmd == "union":
        pano = load(sys.argv[2])
        w, h = int(sys.argv[3]), int(sys.argv[4])
        a0, dp, top, dt = (float(v) for v in sys.argv[5:9])
        pan = a0 + np.arange(w)[None, :] * dp
        tilt = top - np.arange(h)[:, None] * dt
        pan, tilt = np.broadcast_arrays(pan, tilt)
        sample_pano(pano, pan, tilt).tofile(sys.argv[9])
    else:
        sys.exit("unknown command " + cmd)


main()
