"""OpenCV's Canny on the picture our detector saw, with our thresholds.

usage: canny_reference.py in.raw width height low high out.raw
Our detector blurs with a 3 x 3 mean and takes Sobel gradients divided by 4,
so OpenCV gets the same blur and thresholds times 4 (L2 norm).
Writes the edge map (uint8, 255 on edges).
"""
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("canny_reference.py needs numpy: install the Debian package python3-numpy")
try:
    import cv2
except ImportError:
    sys.exit("canny_reference.py needs OpenCV: install the Debian package python3-opencv")


def main():
    w, h, low, high = (int(v) for v in sys.argv[2:6])
    img = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(h, w)
    blurred = cv2.blur(img, (3, 3), borderType=cv2.BORDER_REPLICATE)
    edges = cv2.Canny(blurred, low * 4, high * 4, L2gradient=True)
    edges.astype(np.uint8).tofile(sys.argv[6])


main()
