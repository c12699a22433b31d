#!/usr/bin/env python3
"""The compile workload built recursively against the same build in one makefile, tarvo only.

    python3 bench/recursive.py [--tarvo PATH] [--files N] [--jobs J] [--runs R]

The recursive project splits the N sources of gen.py's compile workload over three levels, each
a directory whose makefile compiles its share and starts the level below with `cd sub &&
$(MAKE)`; the top links every object. Only the top gets -jJ: the levels below share its slots
through the jobserver. The flat project is gen.py's compile workload itself. Each build starts
from no objects; the report gives the median wall time of each and their ratio.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen  # noqa: E402

LEVELS = 3


def gen_recursive(n, d):
    """Level k holds sources k + 1, k + 4, ...; each compiles its own and recurses into sub."""
    sources = gen.compile_sources(n)
    shares = [[k for k in range(1, n + 1) if (k - 1) % LEVELS == level] for level in range(LEVELS)]
    everything = [os.path.join(*(["sub"] * level + ["c%d.o" % k]))
                  for level in range(LEVELS) for k in shares[level]]
    for level, mine in enumerate(shares):
        directory = os.path.join(d, *(["sub"] * level))
        os.makedirs(directory, exist_ok=True)
        for k in mine:
            gen.write_source(os.path.join(directory, sources[k - 1]), gen.compile_source_text(k))
        below = level + 1 < LEVELS
        text = "# recursive compile, level %d\n" % level
        text += gen.continued("OBJS", ["c%d.o" % k for k in mine], "=")
        # The sub-build comes last in the list, so that it runs beside this level's compiles.
        if level == 0:
            text += "\napp: $(OBJS) sub\n\tcc -o app %s\n\n" % " ".join(everything)
        else:
            text += "\nall: $(OBJS)%s\n\n" % (" sub" if below else "")
        if below:
            text += "sub:\n\tcd sub && $(MAKE)\n\n"
        text += ".c.o:\n\tcc -O2 -c $<\n\n"
        gen.write(os.path.join(directory, "tarvo"), text)


def build(tarvo, d, jobs):
    for root, _, files in os.walk(d):
        for name in files:
            if name.endswith(".o") or name == "app":
                os.remove(os.path.join(root, name))
    start = time.monotonic()
    done = subprocess.run([tarvo, "-j%d" % jobs], cwd=d, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    if done.returncode != 0 or not os.path.exists(os.path.join(d, "app")):
        sys.exit("the build in %s failed" % d)
    return wall


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tarvo", default=os.path.join(os.path.dirname(HERE), "build", "tarvo"))
    ap.add_argument("--files", type=int, default=60)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    tarvo = os.path.abspath(args.tarvo)
    root = tempfile.mkdtemp(prefix="tarvo-recursive-")
    try:
        flat = os.path.join(root, "flat")
        recursive = os.path.join(root, "recursive")
        gen.gen_compile(args.files, flat)
        gen_recursive(args.files, recursive)
        times = {"flat": [], "recursive": []}
        build(tarvo, flat, args.jobs)  # warm-up: the compiler's files in the cache
        for _ in range(args.runs):
            times["flat"].append(build(tarvo, flat, args.jobs))
            times["recursive"].append(build(tarvo, recursive, args.jobs))
        medians = {k: statistics.median(v) for k, v in times.items()}
        for k, v in times.items():
            print("%-10s -j%d  median %.2f s  (%s)" % (k, args.jobs, medians[k],
                                                       " ".join("%.2f" % t for t in v)))
        print("recursive / flat: %.3f" % (medians["recursive"] / medians["flat"]))
    finally:
        shutil.rmtree(root)


if __name__ == "__main__":
    main()
