"""Expected values of the high-dynamic engine, recomputed independently in
single precision with numpy. Prints one "name value" line each.

usage: hd_expected_values.py
"""
import math
import sys

try:
    import numpy as np
except ImportError:
    sys.exit("hd_expected_values.py needs numpy: install the Debian package python3-numpy")

f32 = np.float32


# Single-precision logarithm and exponential, correctly rounded as the C
# library's logf and expf are (numpy's float32 versions may be an ulp off).
def flog(v):
    return f32(math.log(float(v)))


def fexp(v):
    return f32(math.exp(float(v)))

n = 12
N = 1 << n
M = 128 * 8


def out(name, value):
    print(name, repr(value) if isinstance(value, float) else value)


exp_table = [int(f32(N) * fexp(f32(-i) / f32(128))) for i in range(M)]
log_table = [f32(-18.0)] + [f32(np.log(np.float64(i) / N)) for i in range(1, N)]
weights = [int(f32(1024) * fexp(-(f32(k) * f32(0.01)) / f32(0.85986)) + f32(0.5)) for k in range(801)]
for i in (0, 1, 128, 1023):
    out(f"exp{i}", exp_table[i])
for i in (0, 2048):
    out(f"log{i}", float(log_table[i]))
for k in (0, 100, 200, 600, 800):
    out(f"weight{k}", weights[k])

p1 = flog(f32(0.35483873)) / flog(f32(0.33333334))
p2 = flog(f32(0.35483873)) / flog(f32(0.64705884))
out("p1", float(p1))
out("p2", float(p2))


def table_power(v, p):
    e = f32(-128) * (log_table[min(v, N - 1)] / p)
    return exp_table[min(max(int(e), 0), M - 1)]


mean, maximum = 2048, 4095
P1, P2 = table_power(mean, p1), table_power(mean, p2)
out("power1", P1)
out("power2", P2)
r = f32(mean) / f32(maximum)
z1 = f32(1.55) * f32(P1) / f32(N)
z2 = f32(1.55) * f32(P2) / f32(N)
out("zone_exponent", float(r * z1 + (f32(1) - r) * z2 + f32(0.45)))

W, H = 3600, 480
m = max(W // 20, H // 20)
s = 10 * int(f32(m) * f32(0.1) + f32(0.5))
a = (3 * s) >> 2
nx = int(f32(W) / f32(a) + f32(0.3))
ny = int(f32(H) / f32(a) + f32(0.3))
out("grid_size", s)
out("grid_spacing", a)
out("grid_columns", nx + 1)
out("grid_rows", ny + 1)
out("grid_origin_x", (W - nx * a) // 2)
out("grid_origin_y", (H - ny * a) // 2)
out("grid_radius", 2 * s * s)
