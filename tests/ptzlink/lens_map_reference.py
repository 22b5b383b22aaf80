"""Independent numpy model of the lens projection: the source position of
every destination pixel in 1/1024 pixel, in single precision as the camera
computes it.

usage: lens_map_reference.py params.txt out.raw
params.txt: in_w in_h S out_w out_h sw sh dw dh, then A0..A9, then B0..B9
(raw signed 32-bit coefficient counts of 2^-26), whitespace separated.
Writes dw x dh pairs of int32 (sx, sy), (-1, -1) outside.
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("lens_map_reference.py needs numpy: install the Debian package python3-numpy")


def main():
    values = [int(v) for v in open(sys.argv[1]).read().split()]
    in_w, in_h, S, out_w, out_h, sw, sh, dw, dh = values[:9]
    f32 = np.float32
    A = np.array(values[9:19], dtype=np.float64).astype(f32) * f32(2.0 ** -26)
    B = np.array(values[19:29], dtype=np.float64).astype(f32) * f32(2.0 ** -26)

    def c_div(a, b):  # C integer division, truncating toward zero
        q = np.abs(a) // abs(b)
        return np.where((a < 0) != (b < 0), -q, q)

    fx, fy = in_w * 1024 // dw, in_h * 1024 // dh
    gx, gy = sw * 1024 // out_w, sh * 1024 // out_h
    c = np.arange(dw, dtype=np.int64)[None, :].repeat(dh, 0)
    r = np.arange(dh, dtype=np.int64)[:, None].repeat(dw, 1)
    px = c_div((c - dw // 2) * fx, 1024).astype(f32)
    py = c_div((r - dh // 2) * fy, 1024).astype(f32)
    s = f32(S)
    x = px * f32(10) / s
    y = py * f32(10) / s

    def poly(K):
        xx, yy, xy = x * x, y * y, x * y
        terms = [K[0] + K[1] * x, K[2] * xx, K[3] * y, K[4] * yy, K[5] * xy,
                 K[6] * (xx * y), K[7] * (x * yy), K[8] * (xx * x), K[9] * (yy * y)]
        total = terms[0]
        for t in terms[1:]:
            total = total + t
        return total

    X, Y = poly(A), poly(B)
    sxf = (X * s * f32(0.1) + f32(out_w // 2)) * f32(gx) + f32(0.5)
    syf = (Y * s * f32(0.1) + f32(out_h // 2)) * f32(gy) + f32(0.5)
    sx = np.trunc(sxf).astype(np.int64)
    sy = np.trunc(syf).astype(np.int64)
    inside = ((sx >> 10) >= 0) & ((sx >> 10) < sw - 1) & ((sy >> 10) >= 0) & ((sy >> 10) < sh - 1)
    out = np.stack([np.where(inside, sx, -1), np.where(inside, sy, -1)], axis=-1).astype(np.int32)
    out.tofile(sys.argv[2])


main()
