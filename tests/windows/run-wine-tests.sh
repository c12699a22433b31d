#!/usr/bin/env bash
# Runs the Windows unit and end-to-end tests of a mingw-w64 cross-build under
# wine, in a fresh wine prefix that is removed afterwards.
#   usage: tests/windows/run-wine-tests.sh [build-dir]   (default: build-windows)
set -euo pipefail

build_dir=${1:-build-windows}
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    echo "run-wine-tests: $build_dir is not a configured build directory" >&2
    exit 2
fi

find_tool() {
    local candidate
    for candidate in "$@"; do
        if command -v "$candidate" >/dev/null 2>&1; then
            command -v "$candidate"
            return 0
        fi
    done
    return 1
}

wine=${WINE:-$(find_tool wine64 /usr/lib/wine/wine64 wine)} || {
    echo "run-wine-tests: wine not found (install wine64)" >&2
    exit 2
}
wineserver=$(find_tool "$(dirname "$wine")/wineserver" wineserver /usr/lib/wine/wineserver) || {
    echo "run-wine-tests: wineserver not found" >&2
    exit 2
}

# ctest starts each test program through the emulator that the toolchain file
# recorded; a build configured before wine was installed has none.
emulator=$(sed -n 's/^TARVO_WINE:FILEPATH=//p' "$build_dir/CMakeCache.txt")
if [[ -z $emulator || $emulator == *NOTFOUND ]]; then
    echo "run-wine-tests: $build_dir has no wine emulator; reconfigure it with wine installed" >&2
    exit 2
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-wine.XXXXXX")
cleanup() {
    WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and asking for them costs time.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY

echo "run-wine-tests: starting wine in $prefix"
if ! timeout 300 "$wine" wineboot --init >"$prefix.boot.log" 2>&1; then
    cat "$prefix.boot.log" >&2
    rm -f "$prefix.boot.log"
    echo "run-wine-tests: wineboot failed" >&2
    exit 1
fi
rm -f "$prefix.boot.log"
timeout 120 "$wineserver" -w || true

ctest --test-dir "$build_dir" --output-on-failure --timeout 600
