#!/usr/bin/env python3
"""The cost of watching a build, on the flat workload of bench/run.py.

    python3 bench/watch.py [--tarvo PATH] [--n 1000] [--runs 7]

1. A no-op with TARVO_LOG set in the makefile against one without it (goal: within 5 %).
2. A full build with standard error on a pseudo-terminal, with --progress=yes against
   --progress=no (goal: the line adds no more than 1 %).
Prints the median wall time of each and the ratio.
"""

import argparse
import os
import pty
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen  # noqa: E402


def timed(argv, cwd, stderr=subprocess.DEVNULL):
    start = time.perf_counter()
    subprocess.run(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=stderr, check=True)
    return time.perf_counter() - start


def drain(fd):
    """Reads the terminal's far end, as a terminal would, until it closes."""
    try:
        while os.read(fd, 65536):
            pass
    except OSError:
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarvo", default=os.path.join(HERE, "..", "build", "tarvo"))
    parser.add_argument("--n", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    tarvo = os.path.abspath(args.tarvo)
    work = tempfile.mkdtemp(prefix="tarvo-watch-")
    try:
        plain = os.path.join(work, "plain")
        logged = os.path.join(work, "logged")
        for d in (plain, logged):
            gen.gen_flat(args.n, d)
        with open(os.path.join(logged, "tarvo"), "a") as f:
            f.write("TARVO_LOG = .tarvo_log\n")
        for d in (plain, logged):
            timed([tarvo], d)  # built once, so the runs below are no-ops
        noop = {d: [] for d in (plain, logged)}
        for _ in range(args.runs):
            for d in (plain, logged):
                noop[d].append(timed([tarvo], d))
        a, b = statistics.median(noop[plain]), statistics.median(noop[logged])
        print("no-op, flat %d:          %.4f s; with TARVO_LOG %.4f s (%+.1f %%)"
              % (args.n, a, b, 100 * (b / a - 1)))

        full = {"--progress=no": [], "--progress=yes": []}
        for _ in range(args.runs):
            for option in full:
                subprocess.run([tarvo, "clean"], cwd=plain, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                for name in gen.flat_objects(args.n) + ["app.exe"]:
                    path = os.path.join(plain, name)
                    if os.path.exists(path):
                        os.remove(path)
                master, slave = pty.openpty()
                reader = threading.Thread(target=drain, args=(master,))
                reader.start()
                full[option].append(timed([tarvo, option], plain, stderr=slave))
                os.close(slave)
                reader.join()
                os.close(master)
        a, b = statistics.median(full["--progress=no"]), statistics.median(full["--progress=yes"])
        print("full build on a terminal: %.4f s; with the progress line %.4f s (%+.1f %%)"
              % (a, b, 100 * (b / a - 1)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
