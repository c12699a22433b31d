#!/usr/bin/env python3
"""The cost of the build record (TARVO_RECORD): the same runs with and without it, side by side.

    python3 bench/record.py [--tarvo PATH] [--n 10000] [--compile-files 200] [--jobs 2] [--runs 5]

Each workload of bench/gen.py is generated twice: one copy is run as `tarvo`, the other as
`tarvo TARVO_RECORD=.tarvo_record`. Every phase has one warm-up and --runs timed runs, the two
copies taking turns in each round, so that a change in the machine's load falls on both alike.
Runs go through measure.c, as in run.py (wall time, CPU time, peak RSS).

- flat full: from clean (outputs, the record, its lock and temporary files removed): N + 1
  commands each;
- flat no-op: after a full build by the same copy; no command may run;
- flat touch: before each run every source gets a new time and keeps its content. Without the
  record every object is made again (N + 1 commands); with it none should be. The commands run
  are reported for both, not checked, so that a tarvo without the record can be measured too.
  Beside it, `readsources` (readsources.c) reads every source once: the goal is the time of the
  run with the record against that time plus the no-op's;
- compile full -jJ: the compile workload from clean with --jobs J.

Prints a Markdown table for docs/performance.md and the goals of the record's issue.
"""

import argparse
import os
import shutil
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen  # noqa: E402
import run  # noqa: E402

RECORD = ".tarvo_record"
VARIANTS = ("without", "with")


class Copy:
    """One copy of a workload, run with or without the record."""

    def __init__(self, directory, variant, argv, outputs, command_re):
        self.dir = directory
        self.variant = variant
        self.argv = argv
        self.outputs = outputs
        self.command_re = command_re

    def clean(self):
        for name in self.outputs + [RECORD, RECORD + ".lock", RECORD + ".new"]:
            path = os.path.join(self.dir, name)
            if os.path.exists(path):
                os.remove(path)
        for name in run.leftover_temporaries(self.dir):
            os.remove(os.path.join(self.dir, name))


class Result:
    def __init__(self):
        self.walls = []
        self.rss_kb = []
        self.commands = []
        self.problems = []

    @property
    def median(self):
        return statistics.median(self.walls) if self.walls else None


def measure(bench, phase, cases, prepare, check):
    """cases: {variant: (copy, argv)}; prepare(copy, round) before each run; check(copy, run)
    returns the problems of one run."""
    results = {variant: Result() for variant in cases}
    for round_number in range(1 + bench.args.runs):
        for variant, (copy, argv) in cases.items():
            prepare(copy, round_number)
            out = os.path.join(bench.logs, "%s-%s.txt" % (phase.replace(" ", "-"), variant))
            done = run.run_once(argv, copy.dir, bench.env, out, bench.args.timeout)
            result = results[variant]
            problems = ["timed out"] if done.timed_out else check(copy, done)
            for problem in problems:
                if problem not in result.problems:
                    result.problems.append(problem)
            if round_number > 0:
                result.walls.append(done.wall)
                result.rss_kb.append(done.rss_kb)
                result.commands.append(run.count_commands(done.output, copy.command_re))
    bench.results[phase] = results
    sys.stderr.write("%-22s %s\n" % (phase, "  ".join(
        "%s %s%s" % (v, run.fmt_time(r.median), " FAILED: " + "; ".join(r.problems)
                     if r.problems else "") for v, r in results.items())))


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.workdir)
        self.logs = os.path.join(self.work, "logs")
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                    "HOME": os.environ.get("HOME", "/"), "LC_ALL": "C"}
        self.results = {}

    def copies(self, workload, generate, outputs, command_re, extra=()):
        copies = {}
        for variant in VARIANTS:
            d = os.path.join(self.work, workload, variant)
            if os.path.exists(d):
                shutil.rmtree(d)
            generate(d)
            argv = [self.args.tarvo] + list(extra)
            if variant == "with":
                argv.append("TARVO_RECORD=" + RECORD)
            copies[variant] = Copy(d, variant, argv, outputs, command_re)
        return copies

    def flat(self):
        n = self.args.n
        copies = self.copies("flat-%d" % n, lambda d: gen.gen_flat(n, d),
                             gen.flat_objects(n) + ["app.exe"], run.TOUCH_RE)
        cases = {v: (c, c.argv) for v, c in copies.items()}

        def built_of(count):
            def built(copy, done):
                problems = [] if done.code == 0 else ["exit status %d" % done.code]
                ran = run.count_commands(done.output, copy.command_re)
                if ran != count + 1:
                    problems.append("ran %d commands, expected %d" % (ran, count + 1))
                return problems
            return built

        built = built_of(n)

        def nothing_ran(copy, done):
            problems = [] if done.code == 0 else ["exit status %d" % done.code]
            ran = run.count_commands(done.output, copy.command_re)
            return problems + (["ran %d commands" % ran] if ran else [])

        def exit_zero(copy, done):
            return [] if done.code == 0 else ["exit status %d" % done.code]

        measure(self, "flat %d full" % n, cases, lambda c, i: c.clean(), built)
        measure(self, "flat %d no-op" % n, cases, lambda c, i: None, nothing_ran)

        # The same at a fifth of the size: the memory a target adds is the slope between the
        # two, apart from what the record costs whatever the size (code, buffers).
        small = max(n // 5, 1)
        small_copies = self.copies("flat-%d" % small, lambda d: gen.gen_flat(small, d),
                                   gen.flat_objects(small) + ["app.exe"], run.TOUCH_RE)
        small_cases = {v: (c, c.argv) for v, c in small_copies.items()}
        measure(self, "flat %d full" % small, small_cases, lambda c, i: c.clean(),
                built_of(small))
        measure(self, "flat %d no-op" % small, small_cases, lambda c, i: None, nothing_ran)

        # A new time for every source, later than any before, its content kept: the time now,
        # which is later than every object the runs before made (a fixed start plus one a round
        # fell behind the objects' times once the rounds took longer than the start's lead).
        stamp = [0]

        def touch(copy, round_number):
            stamp[0] = max(stamp[0] + 1, time.time_ns())
            for name in gen.flat_sources(n):
                os.utime(os.path.join(copy.dir, name), ns=(stamp[0], stamp[0]))

        measure(self, "flat %d touch" % n, cases, touch, exit_zero)
        reader = run.build_helper(self.work, "readsources")
        plain = copies["without"]
        measure(self, "flat %d read sources" % n,
                {"without": (plain, [reader, str(n)])}, lambda c, i: None, exit_zero)

    def compile(self):
        n, jobs = self.args.compile_files, self.args.jobs
        copies = self.copies("compile-%d" % n, lambda d: gen.gen_compile(n, d),
                             gen.compile_objects(n) + ["app"], run.CC_RE, ["-j%d" % jobs])
        cases = {v: (c, c.argv) for v, c in copies.items()}

        def built(copy, done):
            problems = [] if done.code == 0 else ["exit status %d" % done.code]
            ran = run.count_commands(done.output, copy.command_re)
            return problems + ([] if ran == n + 1 else ["ran %d commands" % ran])

        measure(self, "compile %d full -j%d" % (n, jobs), cases, lambda c, i: c.clean(), built)


def report(bench):
    args = bench.args
    n = args.n
    lines = ["| phase | without s | with s | with/without | commands without | commands with"
             " | RSS MB without | RSS MB with |", "|---|---|---|---|---|---|---|---|"]
    for phase, results in bench.results.items():
        a, b = results.get("without"), results.get("with")

        def cell(r, f):
            return "-" if r is None or not r.walls else f(r)

        lines.append("| %s | %s | %s | %s | %s | %s | %s | %s |" % (
            phase, cell(a, lambda r: run.fmt_time(r.median)),
            cell(b, lambda r: run.fmt_time(r.median)),
            run.fmt_ratio(b.median if b else None, a.median if a else None),
            cell(a, lambda r: "%g" % statistics.median(r.commands)),
            cell(b, lambda r: "%g" % statistics.median(r.commands)),
            cell(a, lambda r: "%.1f" % (max(r.rss_kb) / 1024.0)),
            cell(b, lambda r: "%.1f" % (max(r.rss_kb) / 1024.0))))

    goals = []

    def check(text, value, limit):
        if value is not None:
            goals.append("- %s: %.2f (goal <= %.2f) %s" % (
                text, value, limit, "met" if value <= limit else "NOT MET"))

    def ratio(phase):
        r = bench.results.get(phase)
        if not r or not r["with"].median or not r["without"].median:
            return None
        return r["with"].median / r["without"].median

    check("flat %d no-op, with/without" % n, ratio("flat %d no-op" % n), 1.2)
    check("flat %d full, with/without" % n, ratio("flat %d full" % n), 1.03)
    check("compile %d full -j%d, with/without" % (args.compile_files, args.jobs),
          ratio("compile %d full -j%d" % (args.compile_files, args.jobs)), 1.03)
    touch = bench.results.get("flat %d touch" % n)
    read = bench.results.get("flat %d read sources" % n)
    noop = bench.results.get("flat %d no-op" % n)
    if touch and read and noop and touch["with"].median:
        floor = read["without"].median + noop["without"].median
        check("flat %d touch with the record / (read sources + no-op without)" % n,
              touch["with"].median / floor, 1.5)
        goals.append("- flat %d touch, commands with the record: %g (goal 0)" % (
            n, statistics.median(touch["with"].commands)))
    small = max(n // 5, 1)
    small_noop = bench.results.get("flat %d no-op" % small)

    def more_kb(r):
        return max(r["with"].rss_kb) - max(r["without"].rss_kb)

    if noop and noop["with"].rss_kb and noop["without"].rss_kb:
        goals.append("- flat %d no-op, peak RSS bytes more, over all targets: %.2f" % (
            n, more_kb(noop) * 1024.0 / (n + 1)))
        if small_noop and small_noop["with"].rss_kb and small_noop["without"].rss_kb:
            goals.append("- the same at %d targets: %.0f KB more in all" % (
                small, more_kb(small_noop)))
            check("flat no-op, peak RSS bytes more for each target added (%d to %d)" % (
                small, n), (more_kb(noop) - more_kb(small_noop)) * 1024.0 / (n - small), 100)
    trouble = ["- %s %s: %s" % (phase, v, "; ".join(r.problems))
               for phase, results in bench.results.items() for v, r in results.items()
               if r.problems]
    out = ["Median of %d runs after one warm-up, seconds; RSS is the peak over those runs." %
           args.runs, "", "\n".join(lines), "", "Goals:", "\n".join(goals)]
    if trouble:
        out += ["", "Checks that failed:", "\n".join(trouble)]
    return "\n".join(out)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--tarvo", default=os.path.join(HERE, "..", "build", "tarvo"))
    ap.add_argument("--n", type=int, default=10000, help="sources of the flat workload")
    ap.add_argument("--compile-files", type=int, default=200)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--timeout", type=float, default=600.0)
    ap.add_argument("--workloads", default="flat,compile", help="flat, compile or both")
    ap.add_argument("--workdir", default=os.path.join(HERE, "work", "record"))
    args = ap.parse_args(argv)
    args.tarvo = os.path.abspath(args.tarvo)
    if not os.access(args.tarvo, os.X_OK):
        sys.stderr.write("no tarvo binary at %s (build it or pass --tarvo)\n" % args.tarvo)
        return 2
    run.ensure_installed(["cc"])
    bench = Bench(args)
    os.makedirs(bench.logs, exist_ok=True)
    run.MEASURE = run.build_helper(bench.work, "measure")
    workloads = args.workloads.split(",")
    load_before = run.load_average()
    if "flat" in workloads:
        bench.flat()
    if "compile" in workloads:
        bench.compile()
    print("tarvo: %s\nMachine: %s\nLoad average (1, 5, 15 min) before %s, after %s\n"
          % (args.tarvo, run.machine_description(), load_before, run.load_average()))
    print(report(bench))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
