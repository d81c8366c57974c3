"""Timings of the Python package: a million widths through analyse, and the
cost of one call with scalar arguments over the cost of its row.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py

The overhead of a scalar call is its time less the time of the same row
inside a call of 1024 equal rows (one thread, the call's own cost spread
over the rows).  Medians of repeated runs.
"""

import statistics
import time
import timeit

import numpy as np

import ketrovane

B, T, ER, W, S = 0.25, 0.0014, 2.2, 0.168, 0.011


def median_seconds(call, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def per_call(call, number=20000):
    return min(timeit.repeat(call, number=number, repeat=7)) / number


def main():
    widths = np.linspace(0.05, 0.3, 1_000_000)
    seconds = median_seconds(lambda: ketrovane.analyse(B, T, ER, widths, S), runs=5)
    print(f"analyse, 1,000,000 widths (S = {S} in, losses at 1 GHz): {seconds:.3f} s")

    rows = 1024
    cases = {
        "analyse": (lambda v: ketrovane.analyse(B, T, ER, v, S), W),
        "sensitivity": (lambda v: ketrovane.sensitivity(B, T, ER, v, S), W),
        "synthesise": (lambda v: ketrovane.synthesise(B, T, ER, 50, v), 10.0),
        "response": (lambda v: ketrovane.response(zo=50, coupling=10, er=ER, f0=1000, f=v),
                     900.0),
        "s_matrix": (lambda v: ketrovane.s_matrix(zo=50, coupling=10, er=ER, f0=1000, f=v),
                     900.0),
    }
    for name, (function, value) in cases.items():
        scalar = per_call(lambda: function(value))
        many = np.full(rows, value)
        row = per_call(lambda: function(many), number=200) / rows
        print(f"{name}: scalar call {scalar * 1e6:.2f} us, its row {row * 1e6:.2f} us, "
              f"overhead {(scalar - row) * 1e6:.2f} us")


if __name__ == "__main__":
    main()
