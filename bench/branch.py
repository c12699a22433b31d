#!/usr/bin/env python3
"""A branch switch with and without the build record (TARVO_RECORD), on tarvo's own build.

    python3 bench/branch.py [--tarvo PATH] [--source REPO] [--commit REV] [--older REV]
                            [--jobs 2] [--runs 3]

A clone of --source (a local clone, no network) at --commit is built by examples/self with
`tarvo -jJ TARVO_RECORD=.tarvo_record`; a copy of the built tree (times kept) is the copy without
the record. In every round, each copy in turn does `git checkout --older` and `git checkout
--commit` again: git writes the files that differ with a new time and, back at --commit, the same
content. Then tarvo runs: with the record no compile should run; without it, the objects of the
rewritten sources, and of the sources that include a rewritten header, are made again. The
program is linked again only where an object changed.

Beside the switch, the no-op of both copies (nothing changed) is measured. examples/self copies
the sources into out/src on every run (its "sync" step), so every run, the no-op too, runs
`mkdir` and `cp`: the table counts compiles and links apart from them.

Runs go through measure.c as in run.py (wall time, peak RSS). Prints a Markdown table.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import run  # noqa: E402

RECORD = ".tarvo_record"
VARIANTS = ("without", "with")
COMPILE_RE = re.compile(r" -c ")
LINK_RE = re.compile(r" -o out/tarvo(\.exe)?\b")


def git(cwd, *args):
    return subprocess.run(["git"] + list(args), cwd=cwd, check=True, capture_output=True,
                          text=True).stdout.strip()


def counts(output):
    lines = [line for line in output.splitlines() if line and not line.startswith("tarvo: ")]
    compiles = sum(1 for line in lines if COMPILE_RE.search(line))
    links = sum(1 for line in lines if LINK_RE.search(line) and not COMPILE_RE.search(line))
    return compiles, links


class Copy:
    def __init__(self, root, variant, args):
        self.root = root
        self.dir = os.path.join(root, "examples", "self")
        self.variant = variant
        self.argv = [args.tarvo, "-j%d" % args.jobs]
        if variant == "with":
            self.argv.append("TARVO_RECORD=" + RECORD)


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.workdir)
        self.logs = os.path.join(self.work, "logs")
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                    "HOME": os.environ.get("HOME", "/"), "LC_ALL": "C"}
        self.rows = []  # (phase, {variant: [(wall, rss_kb, compiles, links)]})
        self.problems = []
        self.commit = self.older = self.full = None
        self.changed = []

    def run(self, copy, phase):
        out = os.path.join(self.logs, "%s-%s.txt" % (phase.replace(" ", "-"), copy.variant))
        done = run.run_once(copy.argv, copy.dir, self.env, out, self.args.timeout)
        if done.timed_out or done.code != 0:
            self.problems.append("%s %s: %s (see %s)" % (
                phase, copy.variant, "timed out" if done.timed_out else
                "exit status %d" % done.code, out))
        compiles, links = counts(done.output)
        return done.wall, done.rss_kb, compiles, links

    def setup(self):
        args = self.args
        if os.path.exists(self.work):
            shutil.rmtree(self.work)
        os.makedirs(self.logs)
        run.MEASURE = run.build_helper(self.work, "measure")
        with_root = os.path.join(self.work, "with")
        subprocess.run(["git", "clone", "-q", "--no-hardlinks", args.source, with_root],
                       check=True)
        git(with_root, "checkout", "-q", "--detach", args.commit)
        self.commit = git(with_root, "rev-parse", "HEAD")
        self.older = git(with_root, "rev-parse", args.older or self.commit + "~1")
        changed = git(with_root, "diff", "--name-only", self.older, self.commit, "--", "src")
        self.changed = [n for n in changed.splitlines() if n]
        if not self.changed:
            self.problems.append("%s and %s have the same src/: nothing to switch" % (
                self.commit[:7], self.older[:7]))
            return None
        with_copy = Copy(with_root, "with", args)
        sys.stderr.write("full build of examples/self with the record (-j%d)\n" % args.jobs)
        wall, rss, compiles, links = self.run(with_copy, "full")
        sys.stderr.write("  %.1f s, %d compiles, %d links\n" % (wall, compiles, links))
        self.full = (wall, compiles, links)
        if self.problems:
            return None
        without_root = os.path.join(self.work, "without")
        # cp -a keeps every time, so the copy is as up to date as the original.
        subprocess.run(["cp", "-a", with_root, without_root], check=True)
        os.remove(os.path.join(without_root, "examples", "self", RECORD))
        return {"without": Copy(without_root, "without", args), "with": with_copy}

    def measure(self, copies, phase, prepare):
        results = {v: [] for v in VARIANTS}
        for round_number in range(self.args.runs):
            for variant in VARIANTS:
                copy = copies[variant]
                prepare(copy)
                results[variant].append(self.run(copy, phase))
        self.rows.append((phase, results))
        sys.stderr.write("%-14s %s\n" % (phase, "  ".join(
            "%s %.3f s %s compiles" % (v, statistics.median(r[0] for r in rs),
                                      "/".join(str(r[2]) for r in rs))
            for v, rs in results.items())))

    def switch(self, copy):
        git(copy.root, "checkout", "-q", "--detach", self.older)
        git(copy.root, "checkout", "-q", "--detach", self.commit)

    def main(self):
        copies = self.setup()
        if copies is None:
            return
        # The first run of each copy after the copy settles it (the sync step's cp): not timed.
        for copy in copies.values():
            self.run(copy, "settle")
        self.measure(copies, "no-op", lambda c: None)
        self.measure(copies, "branch switch", self.switch)


def report(bench):
    args = bench.args
    if bench.full is None:
        return "\n".join(["Problems:"] + ["- " + p for p in bench.problems])
    headers = [n for n in bench.changed if not n.endswith(".cpp")]
    sources = [n for n in bench.changed if n.endswith(".cpp")]
    out = ["examples/self at %s, switched to %s and back (%d files of src/ rewritten: %d .cpp, %d "
           "others); tarvo -j%d; median of %d runs." % (
               bench.commit[:7], bench.older[:7], len(bench.changed), len(sources), len(headers),
               args.jobs, args.runs),
           "Full build with the record: %.1f s, %d compiles, %d links." % bench.full, "",
           "| phase | without s | with s | with/without | compiles without | compiles with"
           " | links without | links with | RSS MB without | RSS MB with |",
           "|---|---|---|---|---|---|---|---|---|---|"]
    for phase, results in bench.rows:
        a, b = results["without"], results["with"]

        def med(rs, i):
            return statistics.median(r[i] for r in rs)

        out.append("| %s | %.3f | %.3f | %.2f | %g | %g | %g | %g | %.1f | %.1f |" % (
            phase, med(a, 0), med(b, 0), med(b, 0) / med(a, 0), med(a, 2), med(b, 2),
            med(a, 3), med(b, 3), max(r[1] for r in a) / 1024.0, max(r[1] for r in b) / 1024.0))
    if bench.problems:
        out += ["", "Problems:"] + ["- " + p for p in bench.problems]
    return "\n".join(out)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--tarvo", default=os.path.join(HERE, "..", "build", "tarvo"))
    ap.add_argument("--source", default=run.REPO, help="the repository to clone")
    ap.add_argument("--commit", default="HEAD", help="the commit built")
    ap.add_argument("--older", help="the commit switched to and back from (default: the parent"
                    " of --commit)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=1800.0)
    ap.add_argument("--workdir", default=os.path.join(HERE, "work", "branch"))
    args = ap.parse_args(argv)
    args.tarvo = os.path.abspath(args.tarvo)
    if not os.access(args.tarvo, os.X_OK):
        sys.stderr.write("no tarvo binary at %s (build it or pass --tarvo)\n" % args.tarvo)
        return 2
    run.ensure_installed(["cc", "c++"])
    bench = Bench(args)
    load_before = run.load_average()
    bench.main()
    print("tarvo: %s\nMachine: %s\nLoad average (1, 5, 15 min) before %s, after %s\n"
          % (args.tarvo, run.machine_description(), load_before, run.load_average()))
    print(report(bench))
    return 1 if bench.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
