#!/usr/bin/env bash
# CI: the compilation database that tarvo --compdb prints for examples/hello
# lets clang's tools find every source with its flags: clang-check compiles
# each one with the command listed (which holds -Wall) and must see the
# warning planted in a copy of greet.c.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if ! command -v clang-check >/dev/null 2>&1; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends clang-tools
fi
if [[ ! -f build/CMakeCache.txt ]]; then
    cmake -S . -B build
fi
cmake --build build -j2 --target tarvo
tarvo=$root/build/tarvo

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R examples/hello "$work/hello"
cd "$work/hello"
# -Wall's warning shows only when the flags of the database are used.
printf 'static int unused_here;\n' >>greet.c

"$tarvo" --compdb >compile_commands.json
python3 -m json.tool compile_commands.json >/dev/null
for source in main.c greet.c; do
    if ! grep -q "\"file\": \"$source\"" compile_commands.json; then
        echo "compdb: FAILED: no entry for $source" >&2
        cat compile_commands.json >&2
        exit 1
    fi
done
if ! clang-check -p . main.c greet.c >"$work/check.out" 2>&1; then
    echo "compdb: FAILED: clang-check did not compile the sources:" >&2
    cat "$work/check.out" >&2
    exit 1
fi
if ! grep -q "unused_here.*-Wunused-variable" "$work/check.out"; then
    echo "compdb: FAILED: clang-check did not use the database's flags:" >&2
    cat "$work/check.out" >&2
    exit 1
fi
if grep -q "compile command not found\|fixed-compilation-database" "$work/check.out"; then
    echo "compdb: FAILED: clang-check did not find a source in the database:" >&2
    cat "$work/check.out" >&2
    exit 1
fi
echo "compdb: ok: examples/hello"
