#!/usr/bin/env bash
# The Windows part of CI: installs mingw-w64 and wine when they are absent,
# cross-builds tarvo.exe and its tests into build-windows/, packs the .zip, and
# runs the tests under wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=()
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 &&
    ! command -v x86_64-w64-mingw32-g++-win32 >/dev/null 2>&1; then
    packages+=(g++-mingw-w64-x86-64-posix)
fi
if ! command -v wine64 >/dev/null 2>&1 && [[ ! -x /usr/lib/wine/wine64 ]]; then
    # The 64-bit loader alone runs 64-bit programs; no i386 architecture needed.
    packages+=(wine64)
fi
if [[ ! -f /usr/src/googletest/CMakeLists.txt ]]; then
    packages+=(googletest)
fi
# Renders the man page as the zip's tarvo.txt.
command -v groff >/dev/null 2>&1 || packages+=(groff-base)
command -v ninja >/dev/null 2>&1 || packages+=(ninja-build)
command -v cmake >/dev/null 2>&1 || packages+=(cmake)
if ((${#packages[@]} > 0)); then
    echo "windows: installing ${packages[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

cmake --preset windows-cross
cmake --build --preset windows-cross

# The .zip of what cmake --install puts under the prefix: tarvo.exe, the
# README that says how to install it, the licence and the manual as text.
rm -f build-windows/tarvo-*.zip build-windows/tarvo-*.zip.sha256
(cd build-windows && cpack -G ZIP)
zip=$(find build-windows -maxdepth 1 -name 'tarvo-*.zip')
contents=$(cmake -E tar tf "$zip")
echo "$contents"
for file in bin/tarvo.exe README.txt LICENSE.txt tarvo.txt; do
    if ! grep -q "/${file//./\\.}\$" <<<"$contents"; then
        echo "windows: $file is not in $zip" >&2
        exit 1
    fi
done

bash tests/windows/run-wine-tests.sh build-windows
