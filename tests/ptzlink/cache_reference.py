"""Expected cached pictures of the PTZ picture cache, from OpenCV and numpy.

usage:
  cache_reference.py remap SRC sw sh MAP dw dh OUT
        SRC: sw x sh x 3 bytes (B, G, R); MAP: dw x dh int32 pairs in
        1/1024 pixel, (-1, -1) outside. OUT: dw x dh x 3 bytes, black outside.
  cache_reference.py yuv Y U V w h OUT
        planar 4:2:0 (full range) to B, G, R bytes with the BT.601 matrix,
        chroma taken from the 2 x 2 block of each pixel.
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("cache_reference.py needs numpy: install the Debian package python3-numpy")
try:
    import cv2
except ImportError:
    sys.exit("cache_reference.py needs OpenCV: install the Debian package python3-opencv")


def remap(args):
    src_path, sw, sh, map_path, dw, dh, out_path = args
    sw, sh, dw, dh = int(sw), int(sh), int(dw), int(dh)
    src = np.fromfile(src_path, dtype=np.uint8).reshape(sh, sw, 3)
    m = np.fromfile(map_path, dtype=np.int32).reshape(dh, dw, 2)
    mapx = (m[..., 0] / 1024.0).astype(np.float32)
    mapy = (m[..., 1] / 1024.0).astype(np.float32)
    out = cv2.remap(src, mapx, mapy, cv2.INTER_LINEAR, borderMode=cv2.BORDER_REPLICATE)
    out[m[..., 0] < 0] = 0
    out.tofile(out_path)


def yuv(args):
    y_path, u_path, v_path, w, h, out_path = args
    w, h = int(w), int(h)
    Y = np.fromfile(y_path, dtype=np.uint8).reshape(h, w).astype(np.float64)
    U = np.fromfile(u_path, dtype=np.uint8).reshape(h // 2, w // 2).astype(np.float64) - 128
    V = np.fromfile(v_path, dtype=np.uint8).reshape(h // 2, w // 2).astype(np.float64) - 128
    U = U.repeat(2, 0).repeat(2, 1)
    V = V.repeat(2, 0).repeat(2, 1)
    r = Y + 1.402 * V
    g = Y - 0.344136 * U - 0.714136 * V
    b = Y + 1.772 * U
    out = np.clip(np.rint(np.stack([b, g, r], axis=-1)), 0, 255).astype(np.uint8)
    out.tofile(out_path)


{"remap": remap, "yuv": yuv}[sys.argv[1]](sys.argv[2:])
