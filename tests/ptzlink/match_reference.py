"""OpenCV's template matching of two neighbouring sub-images: where the left
part of B lies in A.

usage: match_reference.py A.raw wa ha B.raw wb hb
A and B are B, G, R bytes. Prints the offset "dx dy" of B's centre from A's
centre in pixels.
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("match_reference.py needs numpy: install the Debian package python3-numpy")
try:
    import cv2
except ImportError:
    sys.exit("match_reference.py needs OpenCV: install the Debian package python3-opencv")


def main():
    wa, ha = int(sys.argv[2]), int(sys.argv[3])
    wb, hb = int(sys.argv[5]), int(sys.argv[6])
    a = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(ha, wa, 3)
    b = np.fromfile(sys.argv[4], dtype=np.uint8).reshape(hb, wb, 3)
    # A band of B's left part, away from its top and bottom edges.
    x0, y0 = 20, hb // 4
    template = b[y0:hb - hb // 4, x0:x0 + wb // 5]
    scores = cv2.matchTemplate(a, template, cv2.TM_CCOEFF_NORMED)
    _, _, _, (mx, my) = cv2.minMaxLoc(scores)
    dx = (mx - x0) + wb // 2 - wa // 2
    dy = (my - y0) + hb // 2 - ha // 2
    print(dx, dy)


main()
