#!/usr/bin/env python3
"""Reference values of the even/odd-mode impedance model, in double precision.

An independent evaluation of the impedance model's formulas (Cohn's thick
coupled strips: the zero-thickness solution through Hilberg's approximation
of K(k)/K'(k), the four gap bands with their fit tables, the blends across
the band edges and the thin-strip blend), written from the model's equations
and its fit tables as printed, not from the program's sources.  The
constants and the table entries are the single-precision values the model
uses; only the arithmetic is double.

Each value carries an estimate of the error that single precision adds to
it: every operation rounds its result to single precision, a relative error
spread evenly over plus and minus 2^-24 (a library function's over about
one ulp), and these errors are carried to the result as independent ones
(first-order propagation of their variances).  The program rounds in its own
order, so the test accepts SIGMAS standard deviations of that error.  Where
large fit coefficients cancel (band 2 at t/b = 0.8) one standard deviation
reaches 2.5e-3 of a capacitance; elsewhere it is a few parts in 10^7 or 10^6.
An operation whose exact result is a single-precision number adds nothing;
the rounding of each result itself is always counted.

Regenerate the table of impedance_reference_test.cpp with

    python3 tests/model/reference_model.py > tests/model/impedance_reference_points.inc
"""
import math
import struct


def single(x):
    """The single-precision value nearest to x."""
    return struct.unpack("f", struct.pack("f", x))[0]


U = 2.0**-24  # unit roundoff of single precision
ROUNDING = U / math.sqrt(3)  # standard deviation of one rounding, relative
LIBRARY = U  # the same for a library function, accurate to about one ulp


class V:
    """A value with the variance of the error that rounding to single
    precision after every operation would add to it."""

    def __init__(self, v, var=0.0):
        self.v = float(v)
        self.var = var

    @staticmethod
    def wrap(x):
        return x if isinstance(x, V) else V(x)

    @staticmethod
    def rounded(v, var, relative=ROUNDING):
        if single(v) == v:  # exact in single precision: nothing to round
            return V(v, var)
        return V(v, var + (relative * v) ** 2)

    def __add__(self, o):
        o = V.wrap(o)
        return V.rounded(self.v + o.v, self.var + o.var)

    __radd__ = __add__

    def __neg__(self):
        return V(-self.v, self.var)

    def __sub__(self, o):
        return self + (-V.wrap(o))

    def __rsub__(self, o):
        return V.wrap(o) - self

    def __mul__(self, o):
        o = V.wrap(o)
        return V.rounded(self.v * o.v, o.v**2 * self.var + self.v**2 * o.var)

    __rmul__ = __mul__

    def __truediv__(self, o):
        o = V.wrap(o)
        return V.rounded(self.v / o.v, self.var / o.v**2 + self.v**2 * o.var / o.v**4)

    def __rtruediv__(self, o):
        return V.wrap(o) / self

    @property
    def sigma(self):
        return math.sqrt(self.var)


def apply(f, df, a):
    """A library function: its own rounding, and the error carried in."""
    return V.rounded(f(a.v), df(a.v) ** 2 * a.var, LIBRARY)


def ln(a):
    return apply(math.log, lambda x: 1 / x, a)


def sqrt(a):
    return apply(math.sqrt, lambda x: 0.5 / math.sqrt(x), a)


def tanh(a):
    return apply(math.tanh, lambda x: 1 - math.tanh(x) ** 2, a)


def log10(a):
    return apply(math.log10, lambda x: 1 / (x * math.log(10)), a)


def exp10(a):
    return apply(lambda x: 10.0**x, lambda x: math.log(10) * 10.0**x, a)


# Constants of the model, as single-precision values.
PI = single(3.1415927)
ETA = 376.73046875
CF0 = (1 / V(PI)) * single(1.3862944)  # ln(4)/pi, formed in single precision
HILBERG_SWITCH = single(0.70710677)
THIN_STRIP = single(0.025)
INVERSE_145 = single(0.6896551)

# Fit tables, row by row as printed: row k holds the coefficients of x^k, a
# column the power of t/b.
BAND2_ODD = [
    [0.4575415, 3.105563, -69.39554, 509.9916, -1557.926, 2066.037, -984.5554],
    [5.395694, 26.7879, 502.4063, -3895.95, 12131.98, -16234.2, 7773.168],
    [-8.101533, 90.07423, -1924.125, 14561.08, -45156.17, 60549.18, -29113.06],
    [5.968715, -98.003, 2157.435, -16411.48, 51140.36, -68866.59, 33234.63],
    [-1.493597, 29.15444, -656.2325, 5021.084, -15702.14, 21199.23, -10250.97],
]
BAND2_DIFFERENCE = [
    [0.1826173, 6.196729, -159.5149, 1236.51, -3954.642, 5446.261, -2677.174],
    [6.751294, -23.08098, 1767.889, -14018.52, 45221.55, -62579, 30855.64],
    [-10.81597, 225.0053, -5275.901, 41165, -131584.1, 181115.3, -89009.66],
    [8.163466, -214.5252, 4910.636, -37907.71, 120511.6, -165373.8, 81129.98],
    [-2.06522, 59.72072, -1347.406, 10337.82, -32765.94, 44890.95, -22002.68],
]
BAND3_ODD = [
    [0.441168, 1.766289, -5.042361, 15.24187, -19.79972, 10.19769],
    [-0.0480301, -0.8773439, 6.148933, -18.64714, 23.1358, -10.33536],
    [0.09605021, 1.264824, -7.707854, 22.1599, -26.49693, 11.56186],
    [-0.02084583, -0.3614727, 2.358717, -5.504582, 4.867807, -1.450758],
    [0.001465391, 0.03535451, -0.2109544, 0.3145664, 0.01449, -0.1607911],
]
BAND3_DIFFERENCE = [
    [-0.001709384, -0.0254831, 0.1352451, -0.434877, 0.6517845, -0.3523633],
    [-0.09403757, -0.3068855, -0.2094742, 0.09511933, 0.2229045, 0],
    [0.1991336, 0.7550466, 0.1025042, 0.06804638, -0.4794646, 0],
    [-0.05056339, -0.158847, -0.1011083, 0.04543319, 0.1295368, 0],
    [0.004111421, 0.01150458, 0.01410419, -0.006873305, -0.01277668, 0],
]


def fit(table, tb, x):
    """sum over k of (sum over j of table[k][j] tb^j) x^k."""
    total = V(0.0)
    xk = V(1.0)
    for row in table:
        coefficient = V(0.0)
        tbj = V(1.0)
        for entry in row:
            coefficient = coefficient + single(entry) * tbj
            tbj = tbj * tb
        total = total + coefficient * xk
        xk = xk * x
    return total


def ratio_of_elliptic_integrals(k, recomputed=None):
    """Hilberg's K(k)/K'(k); recomputed gives k anew above the switch."""
    if k.v >= HILBERG_SWITCH:
        if recomputed is not None:
            k = recomputed()
        root = sqrt(k)
        return ln(2 * (1 + root) / (1 - root)) / PI
    root = sqrt(sqrt(1 - k * k))
    return PI / ln(2 * (1 + root) / (1 - root))


def tanh_of_quadruple(y):
    r = tanh(y)
    r2 = r * r
    return 4 * r * (1 + r2) / (1 + 6 * r2 + r2 * r2)


def band1(s, t, b, cpa, cf):
    theta = PI * s / (2 * (b - t))
    cfop0 = (2 / PI) * ln(1 + 1 / tanh(theta))
    cfep0 = (2 / PI) * ln(1 + tanh(theta))
    dc = t / s + (2 / PI) * (1 + ln(V(PI / 8)))
    # As the model forms them, through the total odd- and even-mode
    # capacitances (algebraically cfop0 + dc and cfep0).
    coo0 = 2 * cpa + 2 * CF0 + 2 * cfop0
    coot = 2 * dc + coo0 + 2 * cf - 2 * CF0
    coe0 = 2 * cpa + 2 * CF0 + 2 * cfep0
    coet = 2 * cf + coe0 - 2 * CF0
    return (coot - 2 * cpa - 2 * cf) / 2, (coet - 2 * cpa - 2 * cf) / 2


def band2(sb, tb):
    x = 1 / (50 * sb)
    odd = fit(BAND2_ODD, tb, x)
    return odd, odd - fit(BAND2_DIFFERENCE, tb, x)


def band3(sb, tb):
    x = 1 / sb
    odd = fit(BAND3_ODD, tb, x)
    return odd, odd - fit(BAND3_DIFFERENCE, tb, x)


def band4(sb, tb, cf):
    odd145, even145 = band3(V(single(1.45)), tb)
    radicand = (INVERSE_145 - 1 / sb) / INVERSE_145
    p = sqrt(radicand) if radicand.v > 0 else V(0.0)

    def towards_cf(c145):
        return exp10(log10(c145) - p * (log10(c145) - log10(cf)))

    return towards_cf(odd145), towards_cf(even145)


def blend(lower, upper, w):
    return tuple((1 - w) * lo + w * up for lo, up in zip(lower, upper))


def thick_strip(s, t, b, sb, tb, cpa, cf):
    """(cfot, cfet): the inner fringing of the thick-strip bands."""
    if sb.v < 0.01:
        return band1(s, t, b, cpa, cf)
    if sb.v < 0.05:
        return blend(band1(s, t, b, cpa, cf), band2(sb, tb), sb / single(0.04) - single(0.25))
    if sb.v < 0.2:
        return band2(sb, tb)
    if sb.v < 0.25:
        return blend(band2(sb, tb), band3(sb, tb), sb / single(0.05) - 4)
    if sb.v < 1.45:
        return band3(sb, tb)
    if sb.v < 1.5:
        return blend(band3(sb, tb), band4(sb, tb, cf), sb / single(0.05) - 29)
    return band4(sb, tb, cf)


def mode_impedances(b, er, s, t, w):
    """zoe, zoo, cf, cfe, cfo, cpa as values with error bounds, and j."""
    b, er, s, t, w = (V(single(x)) for x in (b, er, s, t, w))
    tb = t / b
    sb = s / b
    cpa = 2 * w / (b - t)
    cf = CF0
    if tb.v != 0:
        x = 1 / (1 - tb)
        cf = ((x + 1) * ln(x + 1) - (x - 1) * ln(x - 1)) / PI
    sqrter = sqrt(er)

    j = 0
    zero = None
    if tb.v <= THIN_STRIP:
        dtp1 = PI * w / (2 * b)
        dtp2 = PI * (w + s) / (2 * b)
        dke = tanh(dtp1) * tanh(dtp2)
        dko = tanh(dtp1) / tanh(dtp2)
        if dke.v >= 1 or dko.v >= 1:
            j = 1
        else:
            for k in (dke, dko):
                assert abs(k.v - HILBERG_SWITCH) > 1e-4, "too near the switch of Hilberg's forms"
            even = ratio_of_elliptic_integrals(
                dke, lambda: tanh_of_quadruple(dtp1 / 4) * tanh_of_quadruple(dtp2 / 4))
            odd = ratio_of_elliptic_integrals(dko)
            zoea = (ETA / (4 * sqrter)) / even
            zooa = (ETA / (4 * sqrter)) / odd
            cfe0 = (ETA / (sqrter * zoea) - 2 * cpa - 2 * cf) / 2
            cfo0 = (ETA / (sqrter * zooa) - 2 * cpa - 2 * cf) / 2
            zero = (zoea, zooa, cfe0, cfo0)
            if tb.v == 0:
                return (zoea, zooa, cf, cfe0, cfo0, cpa), j

    for edge in (0.01, 0.05, 0.2, 0.25, 1.45, 1.5):
        assert abs(sb.v - edge) > 1e-6, "too near a band edge"
    cfot, cfet = thick_strip(s, t, b, sb, tb, cpa, cf)
    if 0 < tb.v < THIN_STRIP and j == 0:
        q = tb / THIN_STRIP
        cfo = (1 - q) * zero[3] + q * cfot
        cfe = (1 - q) * zero[2] + q * cfet
    else:
        cfo, cfe = cfot, cfet
    if cfe.v > cfo.v:
        cfe = cfo
    tp = ETA / sqrter
    zoea = tp / (2 * cpa + 2 * cf + 2 * cfe)
    zooa = tp / (2 * cpa + 2 * cf + 2 * cfo)
    return (zoea, zooa, cf, cfe, cfo, cpa), j


SIGMAS = 6
B = 0.25
ER = 2.2
GAPS = (0.008, 0.02, 0.03, 0.045, 0.1, 0.22, 0.26, 0.5, 1.3, 1.47, 2.0)  # s/b
THICKNESSES = (0, 0.005, 0.015, 0.025, 0.05, 0.2, 0.5, 0.8)  # t/b
THIN = (0, 0.005, 0.015)
# Just above the edges where one band gives way to the next (0.2, 0.25, 1.5):
# where an edge sits, to its fourth digit.
EDGES = (0.20005, 0.25005, 1.5005)


def points():
    for wb, thicknesses in ((0.8, THICKNESSES), (0.2, THIN)):
        for tb in thicknesses:
            for sb in GAPS:
                yield sb, tb, wb
    for sb in EDGES:
        yield sb, 0.05, 0.8


def tolerance(r):
    """SIGMAS standard deviations of the rounding error, counting the
    rounding of the result itself even where this evaluation order makes it
    exact."""
    return SIGMAS * math.sqrt(r.var + (ROUNDING * r.v) ** 2)


def literal(x):
    return repr(x) + "F"


def name(sb, tb, wb):
    text = f"SOverB{sb}_TOverB{tb}_WOverB{wb}"
    return text.replace(".", "p")


def main():
    print("// Generated by reference_model.py.  Each point: its s/b, t/b and w/b, then b,")
    print(f"// er, s, t and w; zoe, zoo, cf, cfe, cfo and cpa, each with {SIGMAS} standard")
    print("// deviations of the error that single-precision rounding adds to it.")
    for sb, tb, wb in points():
        s, t, w = (round(r * B, 10) for r in (sb, tb, wb))
        results, j = mode_impedances(B, ER, s, t, w)
        assert j == 0
        cells = ", ".join(f"{{{r.v!r}, {tolerance(r):.3g}}}" for r in results)
        print(f'{{"{name(sb, tb, wb)}", {literal(B)}, {literal(ER)}, {literal(s)}, '
              f"{literal(t)}, {literal(w)}, {cells}}},")


if __name__ == "__main__":
    main()
