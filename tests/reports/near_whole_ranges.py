#!/usr/bin/env python3
"""Ranges whose step count lands just below a whole number.

A range of min, max and step has (max - min)/step steps.  The program forms
that quotient from the single-precision values of the three numbers, either
wholly in single precision (the dialogue's count, which the sensitivity and
frequency runs use) or in double precision rounded to single (the impedance
run's own count), adds 0.0001 and truncates.  Where the quotient falls just
short of the whole number, only the 0.0001 keeps the last row.

This prints, for a few steps, the ranges of a whole number of steps whose
quotient without the 0.0001 falls short in either form, with the row counts
that each form gives with it; where those two counts differ, the precision
of the quotient decides whether the last row is kept.  range_end_test.cpp
takes its ranges from here.
Single precision is emulated exactly: each operation is done in double and
rounded to single, which for +, - and / gives the correctly rounded single
result.

    python3 tests/reports/near_whole_ranges.py
"""
import math
import struct
from decimal import Decimal


def single(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def dialogue_quotient(lo, hi, step, bump):
    q = single(single(single(hi) - single(lo)) / single(step))
    return single(q + single(0.0001)) if bump else q


def run_quotient(lo, hi, step, bump):
    q = (single(hi) - single(lo)) / single(step)
    return single(q + 0.0001 if bump else q)


def main():
    for step, starts, most in (("0.0001", range(1200, 1220), 80), ("0.002", range(1, 30), 40),
                               ("0.01", range(1, 30), 40), ("0.2", range(4500, 4510), 40)):
        s = Decimal(step)
        for lo in (s * k for k in starts):
            for n in range(3, most):
                hi = lo + s * n
                args = (float(lo), float(hi), float(s))
                short = [math.trunc(f(*args, False)) < n for f in (dialogue_quotient, run_quotient)]
                counts = [math.trunc(f(*args, True)) for f in (dialogue_quotient, run_quotient)]
                if any(short) or counts[0] != counts[1]:
                    print(f"{lo} to {hi} by {s}: {n + 1} points; short in "
                          f"{'dialogue ' if short[0] else ''}{'run ' if short[1] else ''}"
                          f"-> rows with 0.0001: dialogue {counts[0] + 1}, run {counts[1] + 1}")


if __name__ == "__main__":
    main()
