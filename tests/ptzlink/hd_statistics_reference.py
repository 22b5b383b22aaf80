"""Integer reference of the high-dynamic statistics: global and per-zone
count, sum, minimum and maximum of the luminance, and its histogram.

usage: hd_statistics_reference.py picture.raw width height x0 y0 x1 y1
        origin_x origin_y spacing columns rows radius out.txt
picture.raw: width x height x 3 uint16 (blue, green, red).
out.txt: one line per record (global first): count sum min max; then one
line of 256 histogram counts.
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("hd_statistics_reference.py needs numpy: install the Debian package python3-numpy")


def main():
    (w, h, x0, y0, x1, y1, ox, oy, a, cols, rows, radius) = (int(v) for v in sys.argv[2:14])
    pic = np.fromfile(sys.argv[1], dtype=np.uint16).reshape(h, w, 3).astype(np.int64)
    region = pic[y0:y1, x0:x1]
    lum12 = region[..., 1] * 2404 + region[..., 2] * 1225 + region[..., 0] * 467
    lum = lum12 >> 12
    yy, xx = np.mgrid[y0:y1, x0:x1]
    valid = lum > 0
    lines = []

    def record(mask):
        vals = lum[mask]
        if vals.size == 0:
            return "0 0 65535 0"
        return f"{vals.size} {int(vals.sum())} {int(vals.min())} {int(vals.max())}"

    lines.append(record(valid))
    for j in range(rows):
        for i in range(cols):
            cx, cy = ox + i * a, oy + j * a
            inside = (yy - cy) ** 2 + (xx - cx) ** 2 <= radius
            lines.append(record(valid & inside))
    hist = np.bincount(np.minimum(lum12[valid] >> 16, 255), minlength=256)
    lines.append(" ".join(str(int(c)) for c in hist))
    open(sys.argv[14], "w").write("\n".join(lines) + "\n")


main()
