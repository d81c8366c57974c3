"""A field-solver tolerance run spread over a dask.distributed cluster.

Every sample of a run depends only on the seed and its index, so slices of
the run can be computed anywhere, in any order, and put back together with
ketrovane.tolerance_combine: the result is the same, bit for bit, as one
process computing every sample.  This example cuts the run into slices,
hands them to the cluster's workers, combines what comes back and, with
--check, computes the run again in this process and compares.

    /usr/bin/python3 examples/tolerance_cluster.py --samples 2000 --workers 2 --check
    /usr/bin/python3 examples/tolerance_cluster.py --scheduler tcp://host:8786 --samples 1000000

Without --scheduler it starts a LocalCluster of worker processes on this
machine (Debian: python3-distributed); with it, it uses the cluster whose
scheduler is there, whose workers must have the ketrovane package.
"""

import argparse
import sys
import time

import numpy as np

import ketrovane

# The shipped 10 dB coupler on 62 mil, Er 3.66, 1 oz board, as the board
# shop makes it: etch +-0.5 mil, T +-10 %, B +-3 %, Er +-0.04.
DESIGN = dict(b="62mil", t="1oz", er=3.66, w="24.8mil", s="6.4mil", etch="0.5mil",
              vary={"t": "10%", "b": "3%", "er": 0.04},
              limits={"coupling": (9.5, 10.5), "zo": (48, 52)}, solver="field")


def run_slice(start, count, samples, seed):
    """One slice of the run, computed on a worker."""
    return ketrovane.tolerance(**DESIGN, samples=samples, seed=seed, start=start, count=count)


def slices(samples, chunk):
    return [(start, min(chunk, samples - start)) for start in range(0, samples, chunk)]


def on_cluster(client, samples, seed, chunk):
    parts = [(start, count) for start, count in slices(samples, chunk)]
    futures = client.map(run_slice, [p[0] for p in parts], [p[1] for p in parts],
                         [samples] * len(parts), [seed] * len(parts), pure=False)
    return ketrovane.tolerance_combine(client.gather(futures))


def same(a, b):
    return (np.array_equal(a._numbers, b._numbers, equal_nan=True)
            and list(a.status) == list(b.status)
            and np.array_equal(a.statistics._numbers, b.statistics._numbers, equal_nan=True)
            and a.yield_ == b.yield_)


def report(name, result, seconds):
    y = result.yield_
    print(f"{name}: {result.count} samples in {seconds:.1f} s; yield {100 * y['share']:.2f} % "
          f"(95 % confidence {100 * y['low']:.2f} to {100 * y['high']:.2f} %)")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--samples", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--chunk", type=int, default=250, help="samples per task")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    parser.add_argument("--scheduler", help="address of an existing cluster's scheduler")
    parser.add_argument("--check", action="store_true",
                        help="compute the run in this process too and compare")
    args = parser.parse_args(argv)

    import dask
    from dask.distributed import Client, LocalCluster

    # Dask starts its workers with MALLOC_TRIM_THRESHOLD_=65536, which also
    # fixes glibc's mmap threshold at 128 kB: the field solver's matrices,
    # allocated afresh for every cross-section, are then mapped and unmapped
    # each time, and a worker spends two thirds of its time faulting their
    # pages in.  The local workers keep freed memory (256 MB) and take
    # matrices up to 32 MB from the heap; give a cluster's workers the same.
    environ = dict(dask.config.get("distributed.nanny.pre-spawn-environ", {}))
    environ.update(MALLOC_TRIM_THRESHOLD_=str(256 << 20), MALLOC_MMAP_THRESHOLD_=str(32 << 20))
    dask.config.set({"distributed.nanny.pre-spawn-environ": environ})
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        began = time.perf_counter()
        combined = on_cluster(client, args.samples, args.seed, args.chunk)
        report(f"cluster ({len(client.scheduler_info()['workers'])} workers)", combined,
               time.perf_counter() - began)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    if not args.check:
        return 0
    began = time.perf_counter()
    alone = ketrovane.tolerance(**DESIGN, samples=args.samples, seed=args.seed)
    report("one process", alone, time.perf_counter() - began)
    if not same(combined, alone):
        print("the cluster's run differs from one process's", file=sys.stderr)
        return 1
    print("identical: every sample, the statistics and the yield")
    return 0


if __name__ == "__main__":
    sys.exit(main())
