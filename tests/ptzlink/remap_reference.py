"""OpenCV's bilinear remap of a luma plane through a lens map.

usage: remap_reference.py luma.raw sw sh map.raw dw dh out.raw
map.raw holds dw x dh int32 pairs in 1/1024 pixel, (-1, -1) outside.
Writes the remapped dw x dh plane (uint8), 0 where the map is outside.
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("remap_reference.py needs numpy: install the Debian package python3-numpy")
try:
    import cv2
except ImportError:
    sys.exit("remap_reference.py needs OpenCV: install the Debian package python3-opencv")


def main():
    sw, sh, dw, dh = (int(v) for v in sys.argv[2:4] + sys.argv[5:7])
    luma = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(sh, sw)
    m = np.fromfile(sys.argv[4], dtype=np.int32).reshape(dh, dw, 2)
    mapx = (m[..., 0].astype(np.float32) / 1024.0).astype(np.float32)
    mapy = (m[..., 1].astype(np.float32) / 1024.0).astype(np.float32)
    out = cv2.remap(luma, mapx, mapy, cv2.INTER_LINEAR, borderMode=cv2.BORDER_CONSTANT, borderValue=0)
    out[m[..., 0] < 0] = 0
    out.astype(np.uint8).tofile(sys.argv[7])


main()
