#!/usr/bin/env bash
# CI: Graphviz's dot accepts what tarvo --graph prints, for the examples and for
# makefiles with a cycle and with dependencies that several targets share.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if ! command -v dot >/dev/null 2>&1; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends graphviz
fi
if [[ ! -f build/CMakeCache.txt ]]; then
    cmake -S . -B build
fi
cmake --build build -j2 --target tarvo
tarvo=$root/build/tarvo

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {
    local what=$1 directory=$2
    shift 2
    if ! (cd "$directory" && "$tarvo" --graph "$@") >"$work/graph.dot"; then
        echo "graph: FAILED: tarvo --graph for $what" >&2
        exit 1
    fi
    if ! dot -Tsvg "$work/graph.dot" -o "$work/graph.svg" 2>"$work/dot.err" || [[ -s $work/dot.err ]]; then
        echo "graph: FAILED: dot does not accept the graph of $what:" >&2
        cat "$work/dot.err" "$work/graph.dot" >&2
        exit 1
    fi
    echo "graph: ok: $what"
}

for example in hello self googletest; do
    cp -R "examples/$example" "$work/$example"
    check "examples/$example" "$work/$example"
done

mkdir "$work/cycle"
printf 'all: a "quoted name" c:\\\\dir\\\\x.obj\n\na: b\n\nb: a all\n\n.c.obj:\n\tcl\n' >"$work/cycle/tarvo"
check "a makefile with cycles and odd names" "$work/cycle"

mkdir "$work/shared"
printf 'all: a b c\n\na: common.h x.o\n\nb: common.h x.o\n\nc: a b\n\n.c.o:\n\tcc -c $<\n' \
    >"$work/shared/tarvo"
touch "$work/shared/x.c"
check "a makefile with shared dependencies" "$work/shared"
