#!/usr/bin/env python3
"""Measure tarvo against GNU make and ninja on generated, equivalent projects.

    python3 bench/run.py [--tarvo PATH] [options]

For every selected workload and tool the runner generates a project of its own, then measures
each phase: one warm-up run and then --runs timed runs (5 by default). It reports the median wall
time and the peak resident set size (ru_maxrss from wait4, which covers the tool and the commands
it waited for), both taken by the small C program measure.c, and checks every run, the warm-up
included: a full build must leave every output in place and run each command once; a no-op must
exit 0, run no command and leave every output's time unchanged; the macros run must print the
expected line. The floor of the flat no-op is a small C program (floor.c) that reads the makefile
and stats every source and object once.

Tools: tarvo (its makefile is `tarvo` in the project directory), GNU make (`make -r`) and ninja
(`ninja -j1`). GNU make and ninja are installed with apt-get when absent.

The parallel workloads run every tool with --jobs N (2 by default: `tarvo -j2`, `make -r -j2`,
`ninja -j2`): a compile-bound build of generated C sources, the flat full build and no-op, and
tarvo's own build (examples/self against ninja on a CMake build of the same sources). A tarvo that
does not know -j ignores the option and runs one command at a time; the report's CPU/wall table
shows how many commands each tool kept running.
"""

import argparse
import datetime
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen  # noqa: E402

TOOLS = ("tarvo", "make", "ninja")
PACKAGES = {"make": "make", "ninja": "ninja-build", "cc": "gcc", "c++": "g++", "cmake": "cmake"}
REPO = os.path.dirname(HERE)
TEMP_RE = re.compile(r"^tarvo.*\.\$\$\$$")


# --- running one process ----------------------------------------------------------------------


class Run:
    def __init__(self, wall, cpu, rss_kb, code, timed_out, output):
        self.wall = wall
        self.cpu = cpu
        self.rss_kb = rss_kb
        self.code = code
        self.timed_out = timed_out
        self.output = output


MEASURE = None  # path of the compiled measure.c, set by main


def run_once(argv, cwd, env, out_path, timeout):
    """Run argv in cwd through measure.c, with stdout and stderr going to out_path, and return
    its wall time, CPU time, peak RSS, exit code and whether it ran past the time limit."""
    done = subprocess.run([MEASURE, "%g" % timeout, out_path] + list(argv), cwd=cwd, env=env,
                          capture_output=True, text=True, check=True)
    wall, rss, code, expired, cpu = done.stdout.split()
    with open(out_path, "r", errors="replace") as f:
        output = f.read()
    return Run(float(wall), float(cpu), int(rss), int(code), expired == "1", output)


# --- projects and phases ----------------------------------------------------------------------


def snapshot(directory, names):
    times = {}
    for name in names:
        try:
            times[name] = os.stat(os.path.join(directory, name)).st_mtime_ns
        except FileNotFoundError:
            times[name] = None
    return times


def leftover_temporaries(directory):
    return [n for n in os.listdir(directory) if TEMP_RE.match(n)]


TOUCH_RE = re.compile(r"^(\[\d+/\d+\] )?touch ")
CC_RE = re.compile(r"^(\[\d+/\d+\] )?cc ")
COMPILE_RE = re.compile(r" -c ")  # any compile line, whatever the compiler's path and flags


def count_commands(output, command_re=TOUCH_RE):
    # tarvo and GNU make echo "touch NAME"; ninja prints "[k/n] touch NAME".
    return sum(1 for line in output.splitlines() if command_re.search(line))


class Project:
    """One tool's copy of a generated workload."""

    def __init__(self, tool, directory, outputs, commands, argv, command_re=TOUCH_RE,
                 cleaner=None, timeout=None, skip=None):
        self.tool = tool
        self.dir = directory
        self.outputs = outputs
        self.commands = commands  # commands a full build from clean runs
        self.argv = argv
        self.command_re = command_re  # the echoed lines that count as commands
        self.cleaner = cleaner  # removes what a full build made, beyond the outputs
        self.timeout = timeout  # seconds for one run, when not the runner's --timeout
        self.skip = skip  # why this tool has no counterpart for the workload
        self.built = False  # a full build of this copy passed its checks and nothing since
        self.timed_out = False  # its last full build ran past the time limit

    def clean(self):
        self.built = False
        if self.cleaner:
            self.cleaner(self)
        for name in self.outputs + [".ninja_log", ".ninja_deps"]:
            try:
                os.remove(os.path.join(self.dir, name))
            except FileNotFoundError:
                pass
        for name in leftover_temporaries(self.dir):
            os.remove(os.path.join(self.dir, name))

    def missing(self):
        return [n for n in self.outputs if not os.path.exists(os.path.join(self.dir, n))]


class FullBuild:
    phase = "full"

    def __init__(self, project):
        self.p = project
        self.skip = project.skip

    def setup(self, bench):
        return None

    def prepare(self):
        self.p.clean()

    def verify(self, run):
        problems = []
        if run.code != 0:
            problems.append("exit status %d" % run.code)
        missing = self.p.missing()
        if missing:
            problems.append("%d outputs missing (%s...)" % (len(missing), missing[0]))
        ran = count_commands(run.output, self.p.command_re)
        if ran != self.p.commands:
            problems.append("ran %d commands, expected %d" % (ran, self.p.commands))
        return problems


class NoOp:
    phase = "no-op"

    def __init__(self, project):
        self.p = project
        self.skip = project.skip
        self.before = None

    def setup(self, bench):
        """Bring the project up to date with its own tool first (ninja needs its own log)."""
        if self.p.built and not self.p.missing():
            return None
        self.p.clean()
        run = run_once(self.p.argv, self.p.dir, bench.env, bench.log_path(self.p, "setup"),
                       bench.timeout(self.p))
        if run.timed_out:
            return "the full build before it timed out"
        problems = FullBuild(self.p).verify(run)
        if problems:
            return "the full build before it failed: " + "; ".join(problems)
        self.p.built = True
        return None

    def prepare(self):
        self.before = snapshot(self.p.dir, self.p.outputs)

    def verify(self, run):
        problems = []
        if run.code != 0:
            problems.append("exit status %d" % run.code)
        after = snapshot(self.p.dir, self.p.outputs)
        changed = [n for n in self.p.outputs if after[n] != self.before[n]]
        if changed:
            problems.append("%d outputs changed (%s...)" % (len(changed), changed[0]))
        ran = count_commands(run.output, self.p.command_re)
        if ran:
            problems.append("ran %d commands" % ran)
        left = leftover_temporaries(self.p.dir)
        if left:
            problems.append("left %s" % left[0])
        return problems


class ParseOnly:
    phase = "parse"
    skip = None

    def __init__(self, project, expected):
        self.p = project
        self.expected = expected

    def setup(self, bench):
        return None

    def prepare(self):
        pass

    def verify(self, run):
        problems = []
        if run.code != 0:
            problems.append("exit status %d" % run.code)
        lines = [l.split("|", 1)[1] if self.p.tool == "tarvo" and "|" in l else l
                 for l in run.output.splitlines()]
        got = [" ".join(l.split()) for l in lines if l.startswith("all: ")]
        if got != [self.expected]:
            problems.append("printed no line equal to the expected one" if not got
                            else "printed a different line")
        if leftover_temporaries(self.p.dir):
            problems.append("left temporary files")
        return problems


class Floor:
    phase = "floor"
    skip = None

    def __init__(self, projects, floor_bin, n):
        self.projects = projects
        self.p = Project("floor", projects[0].dir, [], 0, [floor_bin, "tarvo", str(n)])

    def setup(self, bench):
        """Stat the files of a copy that a tool has built."""
        for project in self.projects:
            if project.built and not project.missing():
                self.p.dir = project.dir
                return None
        return "no built project to stat"

    def prepare(self):
        pass

    def verify(self, run):
        return [] if run.code == 0 else ["exit status %d" % run.code]


# --- the benchmark ----------------------------------------------------------------------------


class Measurement:
    def __init__(self, workload, phase, tool):
        self.workload = workload
        self.phase = phase
        self.tool = tool
        self.samples = []
        self.cpu_samples = []
        self.rss_kb = []
        self.problems = []
        self.skipped = None
        self.timed_out = False

    @property
    def ok(self):
        return self.skipped is None and not self.problems and not self.timed_out and self.samples

    @property
    def median(self):
        return statistics.median(self.samples) if self.samples else None

    @property
    def cpu_median(self):
        return statistics.median(self.cpu_samples) if self.cpu_samples else None

    @property
    def peak_rss_kb(self):
        return max(self.rss_kb) if self.rss_kb else None

    def as_dict(self):
        return {
            "workload": self.workload,
            "phase": self.phase,
            "tool": self.tool,
            "median_s": self.median,
            "samples_s": self.samples,
            "cpu_median_s": self.cpu_median,
            "cpu_samples_s": self.cpu_samples,
            "peak_rss_kb": self.peak_rss_kb,
            "problems": self.problems,
            "skipped": self.skipped,
            "timed_out": self.timed_out,
        }


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.workdir)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": os.environ.get("HOME", "/"),
            "LC_ALL": "C",
        }
        self.results = []
        self.floor_bin = None

    def log_path(self, project, what):
        return os.path.join(self.work, "logs", "%s-%s-%s.txt" % (
            os.path.basename(os.path.dirname(project.dir)), project.tool, what))

    def timeout(self, project):
        return project.timeout or self.args.timeout

    def tool_argv(self, tool, extra=(), jobs=None):
        """The tool's command line; with `jobs`, each runs that many commands at once."""
        j = ["-j%d" % jobs] if jobs else []
        if tool == "tarvo":
            return [self.args.tarvo] + j + list(extra)
        if tool == "make":
            return ["make", "-r"] + j + list(extra)
        return ["ninja"] + (j or ["-j1"]) + list(extra)

    def say(self, text):
        sys.stderr.write(text + "\n")
        sys.stderr.flush()

    def measure(self, workload, cases):
        """Measure the cases of one phase in rounds: every case's warm-up first, then each
        timed round runs every case once, so that a change in the machine's load falls on all
        tools alike."""
        active = []
        for case in cases:
            m = Measurement(workload, case.phase, case.p.tool)
            self.results.append(m)
            m.skipped = case.skip or case.setup(self)
            if m.skipped:
                self.say("%-12s %-6s %-6s skipped: %s" % (workload, case.phase, case.p.tool,
                                                          m.skipped))
            else:
                active.append((case, m))
        for i in range(1 + self.args.runs):
            for case, m in active:
                if m.timed_out or (m.problems and self.args.stop_on_failure):
                    continue
                case.prepare()
                run = run_once(case.p.argv, case.p.dir, self.env,
                               self.log_path(case.p, case.phase), self.timeout(case.p))
                if run.timed_out:
                    m.timed_out = True
                    continue
                for problem in case.verify(run):
                    if problem not in m.problems:
                        m.problems.append(problem)
                if i > 0:
                    m.samples.append(run.wall)
                    m.cpu_samples.append(run.cpu)
                    m.rss_kb.append(run.rss_kb)
        for case, m in active:
            if isinstance(case, FullBuild):
                case.p.built = not m.problems and not m.timed_out
                case.p.timed_out = m.timed_out
            state = ("timed out after %g s" % self.timeout(case.p) if m.timed_out
                     else "FAILED: " + "; ".join(m.problems) if m.problems else "ok")
            self.say("%-12s %-6s %-6s %s  %s" % (workload, case.phase, case.p.tool,
                                                 fmt_time(m.median), state))

    def measure_builds(self, workload, projects, floor_n=None):
        """The full builds from clean, then the no-ops (and the floor, for the flat workload)."""
        if "full" in self.args.phases:
            self.measure(workload, [FullBuild(p) for p in projects])
        if "noop" in self.args.phases:
            cases = [NoOp(p) for p in projects]
            for case in cases:
                if case.p.timed_out:
                    # Building again only to see it time out once more would double the wait.
                    case.skip = "the full build timed out"
            if floor_n is not None:
                cases.append(Floor(projects, self.floor_bin, floor_n))
            self.measure(workload, cases)

    def fresh_dir(self, workload, tool):
        d = os.path.join(self.work, workload.replace(" ", "-"), tool)
        if os.path.exists(d):
            shutil.rmtree(d)
        return d

    def run_flat(self, n, jobs=None):
        workload = "flat %d" % n + (" -j%d" % jobs if jobs else "")
        outputs = gen.flat_objects(n) + ["app.exe"]
        projects = []
        for tool in self.args.tools:
            d = self.fresh_dir(workload, tool)
            gen.gen_flat(n, d)
            projects.append(Project(tool, d, outputs, n + 1, self.tool_argv(tool, jobs=jobs)))
        self.measure_builds(workload, projects, None if jobs else n)

    def run_compile(self, n, jobs):
        workload = "compile %d -j%d" % (n, jobs)
        outputs = gen.compile_objects(n) + ["app"]
        projects = []
        for tool in self.args.tools:
            d = self.fresh_dir(workload, tool)
            gen.gen_compile(n, d)
            projects.append(Project(tool, d, outputs, n + 1, self.tool_argv(tool, jobs=jobs),
                                    command_re=CC_RE, timeout=max(self.args.timeout, 600)))
        self.measure_builds(workload, projects)

    def run_self(self, jobs):
        """tarvo's own sources: examples/self built by tarvo against ninja on a CMake build of
        the tarvo target (no tests), both -O2, each in a directory of its own."""
        workload = "self -j%d" % jobs
        sources = self_sources()
        timeout = max(self.args.timeout, 900)
        projects = []
        for tool in self.args.tools:
            d = self.fresh_dir(workload, tool)
            os.makedirs(d)
            if tool == "tarvo":
                shutil.copy(os.path.join(REPO, "examples", "self", "tarvo"), d)
                outputs = ["out/tarvo"] + ["out/%s.o" % s[:-len(".cpp")] for s in sources]
                argv = self.tool_argv(tool, ["SRCDIR=" + os.path.join(REPO, "src")], jobs)
                projects.append(Project(tool, d, outputs, len(sources), argv,
                                        command_re=COMPILE_RE, cleaner=remove_out,
                                        timeout=timeout))
            elif tool == "ninja":
                problem = configure_cmake(d, self.log_path_in(workload, "cmake"))
                argv = ["ninja", "-v", "-j%d" % jobs, "tarvo"]
                projects.append(Project(tool, d, ["tarvo"], len(sources), argv,
                                        command_re=COMPILE_RE, cleaner=ninja_clean,
                                        timeout=timeout, skip=problem))
            else:
                projects.append(Project(tool, d, [], 0, [], skip="no GNU make build of tarvo"))
        self.measure_builds(workload, projects)

    def log_path_in(self, workload, what):
        return os.path.join(self.work, "logs", "%s-%s.txt" % (workload.replace(" ", "-"), what))

    def run_diamond(self, depth):
        workload = "diamond %d" % depth
        outputs = gen.diamond_targets(depth)
        projects = []
        for tool in self.args.tools:
            d = self.fresh_dir(workload, tool)
            gen.gen_diamond(depth, d)
            projects.append(Project(tool, d, outputs, len(outputs), self.tool_argv(tool)))
        self.measure_builds(workload, projects)

    def run_macros(self):
        workload = "macros"
        cases = []
        for tool in self.args.tools:
            if tool == "ninja":
                continue  # ninja has no macro language to compare
            d = self.fresh_dir(workload, tool)
            gen.gen_macros(d, self.args.macro_scale)
            with open(os.path.join(d, "expected.txt")) as f:
                expected = f.read().strip()
            argv = self.tool_argv(tool, ["-p"] if tool == "tarvo" else [])
            cases.append(ParseOnly(Project(tool, d, [], 0, argv), expected))
        self.measure(workload, cases)

    def run(self):
        os.makedirs(os.path.join(self.work, "logs"), exist_ok=True)
        if "flat" in self.args.workloads and "noop" in self.args.phases:
            self.floor_bin = build_helper(self.work, "floor")
        started = datetime.datetime.now()
        for w in self.args.workloads:
            if w == "flat":
                for n in self.args.flat_sizes:
                    self.run_flat(n)
            elif w == "diamond":
                for depth in self.args.diamond_depths:
                    self.run_diamond(depth)
            elif w == "macros":
                self.run_macros()
            elif w == "compile":
                self.run_compile(self.args.compile_files, self.args.jobs)
            elif w == "flat-j":
                self.run_flat(self.args.parallel_flat_size, self.args.jobs)
            elif w == "self":
                self.run_self(self.args.jobs)
        return started


# --- tarvo's own build ------------------------------------------------------------------------


def self_sources():
    """The sources of a POSIX build of tarvo, as examples/self lists them."""
    found = []
    for parent, _, names in os.walk(os.path.join(REPO, "src")):
        for name in names:
            if name.endswith(".cpp") and not name.endswith(("_win32.cpp", "Test.cpp")):
                found.append(os.path.relpath(os.path.join(parent, name), REPO))
    return sorted(found)


def remove_out(project):
    shutil.rmtree(os.path.join(project.dir, "out"), ignore_errors=True)


def ninja_clean(project):
    subprocess.run(["ninja", "-t", "clean"], cwd=project.dir, stdout=subprocess.DEVNULL,
                   check=True)


def configure_cmake(d, log):
    """Configures the tarvo target of the repository in d for ninja, with the flags of
    examples/self; returns why it could not, or None."""
    with open(log, "w") as f:
        done = subprocess.run(
            ["cmake", "-S", REPO, "-B", d, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
             "-DCMAKE_CXX_FLAGS_RELEASE=-O2", "-DTARVO_BUILD_TESTS=OFF"],
            stdout=f, stderr=subprocess.STDOUT)
    return None if done.returncode == 0 else "cmake could not configure (see %s)" % log


# --- setup ------------------------------------------------------------------------------------


def ensure_installed(names):
    missing = [PACKAGES[n] for n in names if not shutil.which(n)]
    if not missing:
        return
    sys.stderr.write("installing %s\n" % " ".join(missing))
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "update"], check=True, env=env)
    subprocess.run(sudo + ["apt-get", "install", "-y"] + missing, check=True, env=env)


def build_helper(work, name):
    out = os.path.join(work, name)
    subprocess.run(["cc", "-O2", "-o", out, os.path.join(HERE, name + ".c")], check=True)
    return out


def load_average():
    try:
        return "%.2f %.2f %.2f" % os.getloadavg()
    except OSError:
        return "?"


def machine_description():
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d cores, Linux %s" % (cpu, os.cpu_count() or 0, platform.release())


def tool_versions(args):
    versions = {}
    for tool, argv in (("make", ["make", "--version"]), ("ninja", ["ninja", "--version"]),
                       ("cmake", ["cmake", "--version"])):
        if (tool in args.tools or (tool == "cmake" and "self" in args.workloads)) \
                and shutil.which(tool):
            out = subprocess.run(argv, capture_output=True, text=True).stdout
            versions[tool] = out.splitlines()[0] if out else "?"
    if "tarvo" in args.tools:
        repo = os.path.dirname(os.path.dirname(os.path.abspath(args.tarvo)))
        rev = subprocess.run(["git", "-C", repo, "rev-parse", "--short", "HEAD"],
                             capture_output=True, text=True).stdout.strip()
        versions["tarvo"] = "%s (%s)" % (args.tarvo, rev or "unknown commit")
    return versions


# --- report -----------------------------------------------------------------------------------


def fmt_time(t):
    if t is None:
        return "-"
    return "%.4f" % t if t < 10 else "%.2f" % t


def fmt_ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    return "%.2f" % (a / b)


def cell(m):
    if m is None:
        return "-"
    if m.skipped:
        return "n/a"
    if m.timed_out:
        return "timeout"
    text = fmt_time(m.median)
    return text + " (!)" if m.problems else text


def good_median(m):
    return m.median if m is not None and m.ok else None


def find(results, workload, phase, tool):
    for m in results:
        if m.workload == workload and m.phase == phase and m.tool == tool:
            return m
    return None


def timing_table(results, tools, median, show, label, rss, floor_line):
    """One row per workload and phase: each tool's time as `show` writes it, tarvo's ratios of
    `median` to each peer's and to the floor's, and the peak RSS when `rss` is set."""
    rows = []
    seen = []
    for m in results:
        key = (m.workload, m.phase)
        if key not in seen and m.phase != "floor":
            seen.append(key)
    peers = [t for t in tools if t != "tarvo"]
    head = ["workload", "phase"] + [label % t for t in tools]
    if "tarvo" in tools:
        head += ["tarvo/%s" % t for t in peers] + ["tarvo/floor"]
    if rss:
        head += ["RSS MB %s" % t for t in tools]
    rows.append("| " + " | ".join(head) + " |")
    rows.append("|" + "---|" * len(head))
    for workload, phase in seen:
        ms = {t: find(results, workload, phase, t) for t in tools}
        row = [workload, phase] + [show(ms[t]) for t in tools]
        if "tarvo" in tools:
            mine = median(ms["tarvo"])
            row += [fmt_ratio(mine, median(ms[t])) for t in peers]
            floor = find(results, workload, "floor", "floor") if phase == "no-op" else None
            row.append(fmt_ratio(mine, median(floor)) if floor else "-")
        if rss:
            row += ["%.1f" % (ms[t].peak_rss_kb / 1024.0) if ms[t] and ms[t].peak_rss_kb
                    else "-" for t in tools]
        rows.append("| " + " | ".join(row) + " |")
    floors = [m for m in results if m.phase == "floor"]
    if floors:
        rows.append("")
        for m in floors:
            rows.append(floor_line % (m.workload, show(m)))
    return "\n".join(rows)


def table(results, tools):
    return timing_table(results, tools, good_median, cell, "%s s", True,
                        "Floor of the %s no-op (floor.c): %s s")


def good_cpu_median(m):
    return m.cpu_median if m is not None and m.ok else None


def cpu_table(results, tools):
    """The CPU times of the same runs: steadier than wall time on a shared machine, where a
    run can wait for the processor."""
    return timing_table(results, tools, good_cpu_median, lambda m: fmt_time(good_cpu_median(m)),
                        "%s CPU s", False, "CPU time of the floor of the %s no-op: %s s")


def targets(results):
    """The goals set for tarvo, each checked where the run measured both sides."""
    lines = []

    def ratio(workload, phase, peer):
        a = good_median(find(results, workload, phase, "tarvo"))
        if peer == "floor":
            phase = "floor"
        b = good_median(find(results, workload, phase, peer))
        return a / b if a is not None and b else None

    def check(text, value, limit):
        if value is None:
            return
        lines.append("- %s: %.2f (goal <= %.2f) %s" % (
            text, value, limit, "met" if value <= limit else "NOT MET"))

    check("flat 10000 no-op, tarvo/ninja", ratio("flat 10000", "no-op", "ninja"), 0.6)
    check("flat 10000 no-op, tarvo/make", ratio("flat 10000", "no-op", "make"), 0.6)
    check("flat 10000 no-op, tarvo/floor", ratio("flat 10000", "no-op", "floor"), 1.5)
    check("flat 10000 full, tarvo/make", ratio("flat 10000", "full", "make"), 0.7)
    for phase in ("no-op", "full"):
        check("diamond 20 %s, tarvo/make" % phase, ratio("diamond 20", phase, "make"), 1.5)
        depths = sorted(int(m.workload.split()[1]) for m in results
                        if m.workload.startswith("diamond") and m.phase == phase
                        and m.tool == "tarvo")
        for d in depths:
            if 2 * d in depths:
                a = find(results, "diamond %d" % d, phase, "tarvo")
                b = find(results, "diamond %d" % (2 * d), phase, "tarvo")
                if a and b and a.ok and b.timed_out:
                    lines.append("- diamond %s, tarvo growth D=%d to D=%d: timed out, NOT MET"
                                 % (phase, d, 2 * d))
                elif good_median(a) and good_median(b):
                    check("diamond %s, tarvo time D=%d / D=%d (linear: about 2 or less)"
                          % (phase, 2 * d, d), good_median(b) / good_median(a), 2.5)
    check("macros, tarvo -p / make", ratio("macros", "parse", "make"), 0.5)
    for m in results:
        if m.tool == "tarvo" and m.phase == "no-op" and m.ok:
            peer = find(results, m.workload, "no-op", "make")
            if peer and peer.ok:
                check("%s no-op peak RSS, tarvo/make" % m.workload,
                      m.peak_rss_kb / float(peer.peak_rss_kb), 1.0)
    return "\n".join(lines)


def parallel_table(results, tools):
    """CPU time over wall time of each parallel full build: about 1 when the commands ran one at
    a time, up to the number of jobs when they kept that many processors busy."""
    rows = []
    seen = []
    for m in results:
        if " -j" in m.workload and m.phase == "full" and m.workload not in seen:
            seen.append(m.workload)
    if not seen:
        return ""
    head = ["workload"] + ["%s CPU/wall" % t for t in tools]
    rows.append("| " + " | ".join(head) + " |")
    rows.append("|" + "---|" * len(head))
    for workload in seen:
        row = [workload]
        for t in tools:
            m = find(results, workload, "full", t)
            wall, cpu = good_median(m), good_cpu_median(m)
            row.append("%.2f" % (cpu / wall) if wall and cpu is not None else "-")
        rows.append("| " + " | ".join(row) + " |")
    return "\n".join(rows)


def problems(results):
    lines = []
    for m in results:
        if m.skipped:
            lines.append("- %s %s %s: skipped, %s" % (m.workload, m.phase, m.tool, m.skipped))
        elif m.timed_out:
            lines.append("- %s %s %s: timed out" % (m.workload, m.phase, m.tool))
        elif m.problems:
            lines.append("- %s %s %s: %s" % (m.workload, m.phase, m.tool, "; ".join(m.problems)))
    return "\n".join(lines)


# --- command line -----------------------------------------------------------------------------


def int_list(text):
    return [int(x) for x in text.split(",") if x]


def word_list(choices):
    def parse(text):
        words = [w for w in text.split(",") if w]
        for w in words:
            if w not in choices:
                raise argparse.ArgumentTypeError("%s is not one of %s" % (w, ",".join(choices)))
        return words
    return parse


def parse_args(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("tarvo_pos", nargs="?", metavar="TARVO",
                    help="the tarvo binary (default ../build/tarvo relative to bench/)")
    ap.add_argument("--tarvo", help="the tarvo binary, as an option")
    ap.add_argument("--workloads",
                    type=word_list(("flat", "diamond", "macros", "compile", "flat-j", "self")),
                    default=["flat", "diamond", "macros", "compile", "flat-j", "self"],
                    help="compile, flat-j and self run every tool with --jobs")
    ap.add_argument("--flat-sizes", type=int_list, help="default 1000,10000")
    ap.add_argument("--diamond-depths", type=int_list, help="default 10,20,40")
    ap.add_argument("--macro-scale", type=float,
                    help="scale of the macros makefile (default 1 = 5000 definitions)")
    ap.add_argument("--jobs", type=int, default=2,
                    help="commands at once in the parallel workloads (default 2)")
    ap.add_argument("--compile-files", type=int,
                    help="C sources of the compile workload (default 200)")
    ap.add_argument("--parallel-flat-size", type=int, default=1000,
                    help="sources of the flat-j workload (default 1000)")
    ap.add_argument("--tools", type=word_list(TOOLS), default=list(TOOLS))
    ap.add_argument("--phases", type=word_list(("full", "noop")), default=["full", "noop"],
                    help="phases of flat and diamond")
    ap.add_argument("--runs", type=int, help="timed runs after the warm-up (default 5)")
    ap.add_argument("--timeout", type=float, default=120.0, help="seconds allowed for one run")
    ap.add_argument("--workdir", default=os.path.join(HERE, "work"))
    ap.add_argument("--json", help="also write the results to this file")
    ap.add_argument("--stop-on-failure", action="store_true",
                    help="stop measuring a case at its first failed check")
    ap.add_argument("--quick", action="store_true",
                    help="defaults for a quick run: flat 1000, diamond 10 and 20, macros at a "
                    "fifth, compile 50, 3 runs (options given explicitly still count)")
    args = ap.parse_args(argv)
    args.tarvo = os.path.abspath(args.tarvo or args.tarvo_pos
                                 or os.path.join(HERE, "..", "build", "tarvo"))
    defaults = {"flat_sizes": [1000, 10000], "diamond_depths": [10, 20, 40],
                "macro_scale": 1.0, "compile_files": 200, "runs": 5}
    if args.quick:
        defaults = {"flat_sizes": [1000], "diamond_depths": [10, 20], "macro_scale": 0.2,
                    "compile_files": 50, "runs": 3}
    for name, value in defaults.items():
        if getattr(args, name) is None:
            setattr(args, name, value)
    return args


def main(argv):
    args = parse_args(argv)
    if "tarvo" in args.tools and not os.access(args.tarvo, os.X_OK):
        sys.stderr.write("no tarvo binary at %s (build it or pass its path)\n" % args.tarvo)
        return 2
    ensure_installed([t for t in ("make", "ninja") if t in args.tools] + ["cc"]
                     + (["c++", "cmake"] if "self" in args.workloads else []))
    global MEASURE
    os.makedirs(args.workdir, exist_ok=True)
    MEASURE = build_helper(os.path.abspath(args.workdir), "measure")

    bench = Bench(args)
    load_before = load_average()
    started = bench.run()
    load_after = load_average()
    versions = tool_versions(args)

    report = ["# tarvo benchmark, %s" % started.strftime("%Y-%m-%d %H:%M"), "",
              "Machine: %s" % machine_description()]
    report += ["%s: %s" % (t, versions[t]) for t in args.tools if t in versions]
    report += ["Load average (1, 5, 15 min) before the run %s, after it %s." % (
        load_before, load_after),
        "Median of %d runs after one warm-up; RSS is the peak over those runs." % args.runs,
               "", table(bench.results, args.tools), "",
               "CPU time (user and system, of the tool and the commands it waited for), median of "
               "the same runs:", "", cpu_table(bench.results, args.tools)]
    parallel = parallel_table(bench.results, args.tools)
    if parallel:
        report += ["", "Commands kept running in the parallel full builds (CPU time over wall "
                   "time, medians; about 1 means one command at a time, %d means %d at once). "
                   "Every tool was given -j%d; a tarvo that does not know -j ignores it:"
                   % (args.jobs, args.jobs, args.jobs), "", parallel]
    goals = targets(bench.results)
    if goals:
        report += ["", "Goals:", goals]
    trouble = problems(bench.results)
    if trouble:
        report += ["", "Checks that failed ((!) in the table):", trouble]
    print("\n".join(report))

    if args.json:
        with open(args.json, "w") as f:
            json.dump({"started": started.isoformat(timespec="seconds"),
                       "machine": machine_description(), "versions": versions,
                       "load_before": load_before, "load_after": load_after,
                       "runs": args.runs, "results": [m.as_dict() for m in bench.results]},
                      f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
