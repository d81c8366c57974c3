"""A tolerance run spread over a dask.distributed cluster.

Every sample of a run depends only on the seed and its index, so slices of
the run can be computed anywhere, in any order, and put back together with
ketrovane.tolerance_combine: the result is the same, bit for bit, as one
process computing every sample.  This example cuts the run into slices,
hands them to the cluster's workers, combines what comes back and, with
--check, computes the run again in this process and compares.

The run is given as `ketrovane-calc tolerance` takes it, after `--`, or as
a JSON request of ketrovane.tolerance's keywords (--request FILE.json):

    /usr/bin/python3 examples/tolerance_cluster.py --workers 2 --check -- \
        --b 62mil --t 1oz --er 3.66 --w 24.8mil --s 6.4mil --etch 0.5mil \
        --vary t=10%,b=3%,er=0.04 --limit coupling=9.5:10.5 --limit zo=48:52 \
        --solver field --samples 2000
    /usr/bin/python3 examples/tolerance_cluster.py --scheduler tcp://host:8786 \
        --request run.json

where run.json is {"b": "62mil", ..., "vary": {"t": "10%"}, "limits":
{"coupling": [9.5, 10.5]}, "solver": "field", "samples": 1000000}.

Without --scheduler it starts a LocalCluster of worker processes on this
machine (Debian: python3-distributed); with it, it uses the cluster whose
scheduler is there, whose workers must have the ketrovane package.
"""

import argparse
import inspect
import json
import sys
import time

import numpy as np

import ketrovane

# The options of ketrovane-calc tolerance are ketrovane.tolerance's keywords
# (min-gap is min_gap, limit limits); NAME=VALUE items (--vary, --limit)
# become a dict, the option repeated or its items separated by commas.
_KEYWORDS = set(inspect.signature(ketrovane.tolerance).parameters)
_ITEMS = {"vary", "limit"}


def keyword_of(name):
    keyword = "limits" if name == "limit" else name.replace("-", "_")
    return keyword if keyword in _KEYWORDS else None


def keywords_of(options):
    """ketrovane.tolerance's keywords from the command's options, as in
    ["--b", "62mil", "--vary", "t=10%", "--limit=zo=48:52"]."""
    call = {}
    words = list(options)
    while words:
        word = words.pop(0)
        if not word.startswith("--"):
            raise SystemExit(f"tolerance_cluster: unexpected {word!r}: the run's options are "
                             "--NAME VALUE, as ketrovane-calc tolerance takes them")
        name, _, value = word[2:].partition("=")
        if not value:
            if not words:
                raise SystemExit(f"tolerance_cluster: --{name} has no value")
            value = words.pop(0)
        keyword = keyword_of(name)
        if keyword is None:
            raise SystemExit(f"tolerance_cluster: --{name} is not an option of the run "
                             "(outputs such as --plot belong to ketrovane-calc)")
        if name in _ITEMS:
            items = call.setdefault(keyword, {})
            for item in value.split(","):
                key, _, text = item.partition("=")
                items[key] = text
        else:
            call[keyword] = value
    return call


def request_of(args, options):
    if args.request and options:
        raise SystemExit("tolerance_cluster: give the run either as options after -- or as "
                         "--request, not both")
    if args.request:
        with open(args.request, encoding="utf-8") as f:
            call = json.load(f)
        if not isinstance(call, dict):
            raise SystemExit(f"tolerance_cluster: {args.request}: expected a JSON object of "
                             "ketrovane.tolerance's keywords")
        return call
    if not options:
        raise SystemExit("tolerance_cluster: give the run's options after --, as ketrovane-calc "
                         "tolerance takes them, or --request FILE.json")
    return keywords_of(options)


def run_slice(call, start, count):
    """One slice of the run, computed on a worker."""
    return ketrovane.tolerance(**call, start=start, count=count)


def slices(samples, chunk):
    return [(start, min(chunk, samples - start)) for start in range(0, samples, chunk)]


def on_cluster(client, call, samples, chunk):
    parts = slices(samples, chunk)
    futures = client.map(run_slice, [call] * len(parts), [p[0] for p in parts],
                         [p[1] for p in parts], pure=False)
    return ketrovane.tolerance_combine(client.gather(futures))


def same(a, b):
    """Every column of every sample, every statistic and the yield, through
    the results' public names."""
    def columns_equal(x, y):
        return x.columns == y.columns and all(
            np.array_equal(x[c], y[c], equal_nan=x[c].dtype.kind == "f") for c in x.columns)
    return (columns_equal(a, b) and np.array_equal(a.sample, b.sample)
            and columns_equal(a.statistics, b.statistics) and a.yield_ == b.yield_
            and a.not_computed == b.not_computed)


def report(name, result, seconds):
    y = result.yield_
    print(f"{name}: {result.count} samples in {seconds:.1f} s; yield {100 * y['share']:.2f} % "
          f"(95 % confidence {100 * y['low']:.2f} to {100 * y['high']:.2f} %)")


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    options = argv[argv.index("--") + 1:] if "--" in argv else []
    own = argv[:argv.index("--")] if "--" in argv else argv
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     usage="%(prog)s [options] (-- RUN OPTIONS | --request FILE)")
    parser.add_argument("--request", help="the run as a JSON object of ketrovane.tolerance's "
                                          "keywords")
    parser.add_argument("--chunk", type=int, default=250, help="samples per task")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    parser.add_argument("--scheduler", help="address of an existing cluster's scheduler")
    parser.add_argument("--check", action="store_true",
                        help="compute the run in this process too and compare")
    args = parser.parse_args(own)
    call = request_of(args, options)
    # The run's size, read as the command reads it (one sample computed).
    probe = ketrovane.tolerance(**{k: v for k, v in call.items() if k not in ("start", "count")},
                                count=1)
    samples = probe.samples
    call = {k: v for k, v in call.items() if k not in ("start", "count")}

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
        combined = on_cluster(client, call, samples, args.chunk)
        report(f"cluster ({len(client.scheduler_info()['workers'])} workers)", combined,
               time.perf_counter() - began)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    if not args.check:
        return 0
    began = time.perf_counter()
    alone = ketrovane.tolerance(**call)
    report("one process", alone, time.perf_counter() - began)
    if not same(combined, alone):
        print("the cluster's run differs from one process's", file=sys.stderr)
        return 1
    print("identical: every sample, the statistics and the yield")
    return 0


if __name__ == "__main__":
    sys.exit(main())
