#!/usr/bin/env bash
# CI packages stage: builds the .tar.gz and the .deb with CPack in build-package/,
# unpacks the .deb as dpkg would install it, and checks what it holds: the
# installed tarvo builds examples/hello and prints its version, and its man
# page renders with man and groff without a single warning. The binary is
# stripped (also by cmake --install --strip), the README's pictures and the
# copyright file are installed, and lintian finds no error in the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=()
command -v man >/dev/null 2>&1 || packages+=(man-db)
command -v groff >/dev/null 2>&1 || packages+=(groff-base)
command -v cc >/dev/null 2>&1 || packages+=(gcc)
command -v cmake >/dev/null 2>&1 || packages+=(cmake)
command -v make >/dev/null 2>&1 || packages+=(make)
command -v g++ >/dev/null 2>&1 || packages+=(g++)
command -v lintian >/dev/null 2>&1 || packages+=(lintian)
command -v readelf >/dev/null 2>&1 || packages+=(binutils)
if ((${#packages[@]} > 0)); then
  echo "packages: installing ${packages[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

build=build-package
echo "+ packages: build and pack in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVO_BUILD_TESTS=OFF
cmake --build "$build" -j2
rm -f "$build"/tarvo*.deb "$build"/tarvo*.tar.gz "$build"/tarvo*.sha256
(cd "$build" && cpack -G "TGZ;DEB")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(find "$build" -maxdepth 1 -name "tarvo_${version}_*.deb")
tgz=$(find "$build" -maxdepth 1 -name "tarvo-${version}-*.tar.gz")
if [[ -z $deb || -z $tgz ]]; then
  echo "packages: the .deb or the .tar.gz of tarvo $version is missing in $build" >&2
  exit 1
fi

fail() {
  echo "packages: $*" >&2
  exit 1
}

echo "+ packages: $deb"
dpkg-deb --info "$deb"
maintainer=$(sed -n 's/^TARVO_MAINTAINER:STRING=//p' "$build/CMakeCache.txt")
control=$(dpkg-deb --field "$deb" Package Version Section Maintainer)
for field in "Package: tarvo" "Version: $version" "Section: devel" "Maintainer: $maintainer"; do
  grep -qxF "$field" <<<"$control" || fail "the .deb's control lacks \"$field\""
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
tarvo=$scratch/root/usr/bin/tarvo
manpage=$scratch/root/usr/share/man/man1/tarvo.1.gz
doc=$scratch/root/usr/share/doc/tarvo
for file in "$tarvo" "$manpage" "$doc/README.md" "$doc/copyright" "$doc/LICENSE"; do
  [[ -f $file ]] || fail "${file#"$scratch/root"} is not in the .deb"
done
# Every picture the README shows is installed beside it.
for picture in $(grep -o '([^()]*\.svg)' README.md | tr -d '()'); do
  [[ -f $doc/$picture ]] || fail "the README shows $picture, which the .deb lacks"
done

unstripped() {
  readelf --section-headers "$1" | grep -q '\.symtab'
}
unstripped "$tarvo" && fail "the .deb's tarvo is not stripped"

echo "+ packages: cmake --install --strip"
cmake --install "$build" --strip --prefix "$scratch/prefix" >/dev/null
unstripped "$scratch/prefix/bin/tarvo" && fail "cmake --install --strip left tarvo unstripped"

echo "+ packages: lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors on $deb"

listing=$(tar tzf "$tgz")
grep -qx 'License: Apache-2.0' "$doc/copyright" || fail "the copyright file names no Apache-2.0 licence"
for file in bin/tarvo share/man/man1/tarvo.1.gz share/doc/tarvo/README.md share/doc/tarvo/copyright \
  share/doc/tarvo/LICENSE; do
  grep -q "/$file\$" <<<"$listing" || fail "$file is not in $tgz"
done

echo "+ packages: the installed tarvo"
"$tarvo" --version
[[ $("$tarvo" --version) == "tarvo $version"* ]] || fail "--version does not name $version"
usage=$("$tarvo" --help)
[[ $usage == "Usage: tarvo "* ]] || fail "--help prints no usage"

cp -r examples/hello "$scratch/hello"
(
  cd "$scratch/hello"
  rm -f hello ./*.o
  "$tarvo"
  greeting=$(./hello)
  echo "$greeting"
  [[ $greeting == "Hello, world!" ]]
) || fail "the installed tarvo did not build a working examples/hello"

echo "+ packages: the man page"
# Any warning fails: -ww turns on every warning of groff, and both must be silent.
MANROFFOPT=-ww MANPAGER=cat MANWIDTH=80 man -l "$manpage" >"$scratch/man.out" 2>"$scratch/man.err" ||
  fail "man -l failed: $(cat "$scratch/man.err")"
if [[ -s $scratch/man.err ]]; then
  cat "$scratch/man.err" >&2
  fail "man -l warned"
fi
grep -q 'SYNOPSIS' "$scratch/man.out" || fail "man -l rendered no SYNOPSIS"
gzip -dc "$manpage" | groff -man -Tutf8 -ww -z 2>"$scratch/groff.err" || fail "groff failed"
if [[ -s $scratch/groff.err ]]; then
  cat "$scratch/groff.err" >&2
  fail "groff warned"
fi
echo "packages: ok"
