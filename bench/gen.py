#!/usr/bin/env python3
"""Generate equivalent benchmark projects for tarvo, GNU make and ninja.

Each project directory gets the makefile `tarvo` (tarvo's default name), `Makefile` (GNU make,
meant to be run with -r) and `build.ninja`, plus the source files the workload needs. The three
tools are meant to work in separate copies so that one tool's outputs never serve another.

    gen.py flat N DIR        N sources sK.c, inference rule .c.obj, app.exe from $(OBJS)
    gen.py compile N DIR     N C sources cK.c compiled with cc -O2 -c, then linked into app
    gen.py diamond D DIR     D layers of two targets, each depending on both of the next layer
    gen.py macros DIR [S]    macro definitions, substitution references and conditional blocks
                             (S scales the counts, 1 by default)
"""

import os
import sys

# Sources get an old time so that objects made at any later moment are newer, whatever the
# tools' file-time resolution.
SOURCE_TIME = 1577836800  # 2020-01-01 00:00 UTC


def write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def write_source(path, text):
    write(path, text)
    os.utime(path, (SOURCE_TIME, SOURCE_TIME))


# --- flat -------------------------------------------------------------------------------------


def flat_sources(n):
    return ["s%d.c" % k for k in range(1, n + 1)]


def flat_objects(n):
    return ["s%d.obj" % k for k in range(1, n + 1)]


def continued(name, words, assign):
    """A macro over continuation lines, one word per line, identical for tarvo and GNU make."""
    lines = ["%s %s %s \\" % (name, assign, words[0])]
    lines += ["%s \\" % w for w in words[1:-1]]
    lines.append(words[-1])
    return "\n".join(lines) + "\n"


def gen_flat(n, d):
    os.makedirs(d, exist_ok=True)
    for k, src in enumerate(flat_sources(n), 1):
        write_source(os.path.join(d, src), "int f%d(void) { return %d; }\n" % (k, k))
    objs = flat_objects(n)

    write(
        os.path.join(d, "tarvo"),
        "# flat: %d sources\n" % n
        + continued("OBJS", objs, "=")
        + "\napp.exe: $(OBJS)\n\ttouch $<\n\n.c.obj:\n\ttouch $*.obj\n\n",
    )
    write(
        os.path.join(d, "Makefile"),
        "# flat: %d sources\n" % n
        + continued("OBJS", objs, "=")
        + "\napp.exe: $(OBJS)\n\ttouch $@\n\n%.obj: %.c\n\ttouch $@\n",
    )
    ninja = ["# flat: %d sources" % n, "rule touch", "  command = touch $out", ""]
    ninja += ["build %s: touch %s" % (o, s) for o, s in zip(objs, flat_sources(n))]
    ninja += ["build app.exe: touch " + " ".join(objs), "default app.exe", ""]
    write(os.path.join(d, "build.ninja"), "\n".join(ninja))


# --- compile ----------------------------------------------------------------------------------

# Functions per generated C source: enough that the compiler, not the tool, takes the time (about
# 0.15 s of cc -O2 each on the benchmark machine).
COMPILE_FUNCTIONS = 8


def compile_sources(n):
    return ["c%d.c" % k for k in range(1, n + 1)]


def compile_objects(n):
    return ["c%d.o" % k for k in range(1, n + 1)]


def compile_source_text(k):
    lines = ["/* compile workload: source %d */" % k, "#include <string.h>", ""]
    for f in range(COMPILE_FUNCTIONS):
        lines.append("""static unsigned mix%(k)d_%(f)d(const unsigned char* p, unsigned n) {
    unsigned h = %(seed)du;
    for (unsigned i = 0; i < n; i++) {
        h ^= p[i];
        h *= 16777619u;
        h = (h << %(r)d) | (h >> (32 - %(r)d));
    }
    return h;
}

void table%(k)d_%(f)d(unsigned* t, unsigned n) {
    for (unsigned i = 0; i < n; i++) {
        unsigned char b[16];
        memset(b, (int)(i + %(f)d), sizeof b);
        for (unsigned j = 0; j < n; j++)
            t[i * n + j] = mix%(k)d_%(f)d(b, sizeof b) + (i > j ? i - j : j - i) * %(f)du;
    }
}
""" % {"k": k, "f": f, "seed": 2166136261 + f, "r": 1 + f % 31})
    if k == 1:
        lines.append("int main(void) { return 0; }\n")
    return "\n".join(lines)


def gen_compile(n, d):
    """N C sources compiled with `cc -O2 -c` and linked into `app`: a build whose time is the
    compiler's, to show what running commands in parallel gains."""
    os.makedirs(d, exist_ok=True)
    sources = compile_sources(n)
    for k, src in enumerate(sources, 1):
        write_source(os.path.join(d, src), compile_source_text(k))
    objs = compile_objects(n)

    write(
        os.path.join(d, "tarvo"),
        "# compile: %d sources\n" % n
        + continued("OBJS", objs, "=")
        + "\napp: $(OBJS)\n\tcc -o $< $@\n\n.c.o:\n\tcc -O2 -c $<\n\n",
    )
    write(
        os.path.join(d, "Makefile"),
        "# compile: %d sources\n" % n
        + continued("OBJS", objs, "=")
        + "\napp: $(OBJS)\n\tcc -o $@ $^\n\n%.o: %.c\n\tcc -O2 -c $<\n",
    )
    ninja = ["# compile: %d sources" % n, "rule cc", "  command = cc -O2 -c $in",
             "rule link", "  command = cc -o $out $in", ""]
    ninja += ["build %s: cc %s" % (o, s) for o, s in zip(objs, sources)]
    ninja += ["build app: link " + " ".join(objs), "default app", ""]
    write(os.path.join(d, "build.ninja"), "\n".join(ninja))


# --- diamond ----------------------------------------------------------------------------------


def diamond_layers(depth):
    return [("n%da" % i, "n%db" % i) for i in range(depth)]


def diamond_targets(depth):
    return ["top"] + [t for layer in diamond_layers(depth) for t in layer]


def diamond_edges(depth):
    """(target, dependencies) from the top down; the last layer depends on the one source."""
    layers = diamond_layers(depth)
    edges = [("top", list(layers[0]))]
    for i, layer in enumerate(layers):
        deps = list(layers[i + 1]) if i + 1 < depth else ["src.txt"]
        edges += [(t, deps) for t in layer]
    return edges


def gen_diamond(depth, d):
    os.makedirs(d, exist_ok=True)
    write_source(os.path.join(d, "src.txt"), "source\n")
    edges = diamond_edges(depth)
    # In tarvo's explicit rules $< is the target name.
    write(
        os.path.join(d, "tarvo"),
        "# diamond: %d layers\n" % depth
        + "".join("%s: %s\n\ttouch $<\n\n" % (t, " ".join(ds)) for t, ds in edges),
    )
    write(
        os.path.join(d, "Makefile"),
        "# diamond: %d layers\n" % depth
        + "".join("%s: %s\n\ttouch $@\n\n" % (t, " ".join(ds)) for t, ds in edges),
    )
    ninja = ["# diamond: %d layers" % depth, "rule touch", "  command = touch $out", ""]
    ninja += ["build %s: touch %s" % (t, " ".join(ds)) for t, ds in edges]
    ninja += ["default top", ""]
    write(os.path.join(d, "build.ninja"), "\n".join(ninja))


# --- macros -----------------------------------------------------------------------------------


def macro_counts(scale):
    return {
        "defs": max(10, int(5000 * scale)),
        "words": max(10, int(20000 * scale)),
        "subst": 10,
        "blocks": max(10, int(1000 * scale)),
    }


class MacroText:
    """Writes the same definitions and conditionals in tarvo's and GNU make's syntax, and keeps
    the values they must produce so that the runner can check the result."""

    def __init__(self):
        self.tarvo = []
        self.gnu = []
        self.values = {}

    def define(self, name, tarvo_ref_text, gnu_ref_text, value):
        self.tarvo.append("%s = %s" % (name, tarvo_ref_text))
        self.gnu.append("%s := %s" % (name, gnu_ref_text))
        self.values[name] = value

    def both(self, tarvo_line, gnu_line):
        self.tarvo.append(tarvo_line)
        self.gnu.append(gnu_line)


def gen_macros(d, scale=1.0):
    os.makedirs(d, exist_ok=True)
    c = macro_counts(scale)
    m = MacroText()

    for b in range(100):
        m.define("B%d" % b, "base%d" % b, "base%d" % b, "base%d" % b)
    flags = ["yes" if f % 2 == 0 else "no" for f in range(7)]
    for f, v in enumerate(flags):
        m.define("F%d" % f, v, v, v)

    # Each definition is built from earlier ones; values stay short (about log2(k) words).
    m.define("M0", "$(B0)", "$(B0)", "base0")
    for k in range(1, c["defs"]):
        ref = "$(M%d) $(B%d)_%d" % (k // 2, k % 100, k)
        value = "%s base%d_%d" % (m.values["M%d" % (k // 2)], k % 100, k)
        m.define("M%d" % k, ref, ref, value)

    words = ["w%d.c" % w for w in range(1, c["words"] + 1)]
    m.tarvo.append(continued("WORDS", words, "=").rstrip("\n"))
    m.gnu.append(continued("WORDS", words, ":=").rstrip("\n"))
    m.values["WORDS"] = " ".join(words)
    for j in range(c["subst"]):
        ref = "$(WORDS:.c=.o%d)" % j
        m.define("O%d" % j, ref, ref, " ".join(w[:-2] + ".o%d" % j for w in words))

    defs = c["defs"]
    for i in range(c["blocks"]):
        name = "C%d" % i
        flag = "F%d" % (i % 7)
        kind = i % 3
        if kind == 0:
            # A comparison with both branches.
            src = "M%d" % ((i * 5) % defs)
            m.both("!if $(%s) == yes" % flag, "ifeq ($(%s),yes)" % flag)
            m.both("%s = $(%s) on%d" % (name, src, i), "%s := $(%s) on%d" % (name, src, i))
            m.both("!else", "else")
            m.both("%s = off%d" % (name, i), "%s := off%d" % (name, i))
            m.both("!endif", "endif")
            taken = flags[i % 7] == "yes"
            m.values[name] = "%s on%d" % (m.values[src], i) if taken else "off%d" % i
        elif kind == 1:
            # An !ifdef on an existing macro.
            src = "M%d" % (i % defs)
            m.both("!ifdef %s" % src, "ifdef %s" % src)
            value = "def%d $(B%d)" % (i, i % 100)
            m.both("%s = %s" % (name, value), "%s := %s" % (name, value))
            m.both("!else", "else")
            m.both("%s = undefined" % name, "%s := undefined" % name)
            m.both("!endif", "endif")
            m.values[name] = "def%d base%d" % (i, i % 100)
        else:
            # Nested: an !ifndef on a macro never defined around an inner comparison.
            src = "M%d" % (i % defs)
            m.both("!ifndef U%d" % i, "ifndef U%d" % i)
            m.both("!if $(%s) != no" % flag, "ifneq ($(%s),no)" % flag)
            m.both("%s = nested%d" % (name, i), "%s := nested%d" % (name, i))
            m.both("!else", "else")
            m.both("%s = $(%s)" % (name, src), "%s := $(%s)" % (name, src))
            m.both("!endif", "endif")
            m.both("!endif", "endif")
            inner = flags[i % 7] != "no"
            m.values[name] = "nested%d" % i if inner else m.values[src]

    last = c["blocks"] - 1
    shown = ["C0", "C1", "C2", "C3", "C4", "C5", "C%d" % last, "M%d" % (defs - 1)]
    last_o = c["subst"] - 1
    check = "all: %s $(O%d:.o%d=.x)" % (" ".join("$(%s)" % s for s in shown), last_o, last_o)
    expected = "all: %s %s" % (
        " ".join(m.values[s] for s in shown),
        " ".join(w[:-2] + ".x" for w in words),
    )
    m.tarvo.append(check)
    m.tarvo.append("")
    m.gnu.append("$(info %s)" % check)
    m.gnu.append("all:")
    m.gnu.append("")

    write(os.path.join(d, "tarvo"), "# macros\n" + "\n".join(m.tarvo) + "\n")
    write(os.path.join(d, "Makefile"), "# macros\n" + "\n".join(m.gnu) + "\n")
    write(os.path.join(d, "expected.txt"), " ".join(expected.split()) + "\n")


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    kind = argv[1]
    if kind == "flat" and len(argv) == 4:
        gen_flat(int(argv[2]), argv[3])
    elif kind == "compile" and len(argv) == 4:
        gen_compile(int(argv[2]), argv[3])
    elif kind == "diamond" and len(argv) == 4:
        gen_diamond(int(argv[2]), argv[3])
    elif kind == "macros" and len(argv) in (3, 4):
        gen_macros(argv[2], float(argv[3]) if len(argv) == 4 else 1.0)
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
