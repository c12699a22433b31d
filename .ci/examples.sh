#!/usr/bin/env bash
# CI: the example projects. tarvo builds itself (examples/self) and the result must build and run
# examples/hello; tarvo builds GoogleTest and runs its samples (examples/googletest); then tarvo
# builds itself once more with every compile sent through distcc to a distccd on the loopback
# address, whose log must show each compile. Uses build/tarvo from the README's build directory.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

passed=0
pass() {
    echo "examples: ok: $1"
    passed=$((passed + 1))
}
fail() {
    echo "examples: FAILED: $1" >&2
    exit 1
}

if [[ ! -f build/CMakeCache.txt ]]; then
    cmake -S . -B build
fi
cmake --build build -j2 --target tarvo
tarvo=$root/build/tarvo

work=$(mktemp -d)
daemon_pid=
stop_daemon() {
    if [[ -n $daemon_pid ]]; then
        # distccd leads a process group of its own: the listener and its preforked workers.
        kill -TERM -- "-$daemon_pid" 2>/dev/null || kill -TERM "$daemon_pid" 2>/dev/null || true
        wait "$daemon_pid" 2>/dev/null || true
        daemon_pid=
    fi
}
cleanup() {
    stop_daemon
    rm -rf "$work"
}
trap cleanup EXIT

# --- The source list of examples/self -----------------------------------------------------------
# Every src/**/*.cpp of a platform must be in the makefile's list for it, once; the list is what
# `tarvo sources` prints there (OS=Windows_NT selects the Windows list).
check_sources() {
    local platform=$1 excluded=$2
    shift 2
    local listed expected missing extra doubled
    listed=$(cd examples/self && "$tarvo" "$@" sources) || fail "tarvo sources failed: $listed"
    listed=$(echo "$listed" | grep -o 'src/[^ ]*\.cpp' | sort)
    expected=$(find src -name '*.cpp' ! -name "$excluded" ! -name '*Test.cpp' \
        ! -name '*_test.cpp' | sort)
    missing=$(comm -13 <(echo "$listed" | sort -u) <(echo "$expected"))
    extra=$(comm -23 <(echo "$listed" | sort -u) <(echo "$expected"))
    doubled=$(echo "$listed" | uniq -d)
    if [[ -n $missing ]]; then
        fail "examples/self/tarvo does not list these sources for $platform; add them to
COMMON_SRCS, or to ${platform}_SRCS for platform code:
$missing"
    fi
    if [[ -n $extra ]]; then
        fail "examples/self/tarvo lists for $platform sources that are not in src/ (or belong to
the other platform); remove them:
$extra"
    fi
    if [[ -n $doubled ]]; then
        fail "examples/self/tarvo lists these sources twice for $platform:
$doubled"
    fi
    pass "examples/self lists every $platform source of src/"
}
check_sources POSIX '*_win32.cpp'
check_sources WIN32 '*_posix.cpp' OS=Windows_NT

# The self-build writes the version header itself, with the project's version.
cmake_version=$(sed -n 's/^project(tarvo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
self_version=$(sed -n 's/^VERSION = //p' examples/self/tarvo)
[[ -n $cmake_version && $cmake_version == "$self_version" ]] ||
    fail "examples/self/tarvo has VERSION = $self_version; CMakeLists.txt says $cmake_version"
pass "examples/self writes the project's version $cmake_version"

# --- A tarvo built by tarvo ---------------------------------------------------------------------
# Checks a tarvo binary: it builds examples/hello in a copy, the program runs, and it reads the
# self-build's makefile exactly as build/tarvo does.
check_built_tarvo() {
    local binary=$1 what=$2
    local dir=$work/hello-$what
    rm -rf "$dir"
    cp -R examples/hello "$dir"
    rm -f "$dir"/*.o "$dir/hello"
    (cd "$dir" && "$binary") || fail "$what: the built tarvo did not build examples/hello"
    [[ $("$dir/hello" tarvo) == "Hello, tarvo!" ]] || fail "$what: hello did not greet"
    # One after the other: two runs in one directory would share temporary names.
    (cd examples/self && "$tarvo" -p) >"$work/expected-p.txt"
    (cd examples/self && "$binary" -p) >"$work/got-p.txt"
    cmp -s "$work/expected-p.txt" "$work/got-p.txt" ||
        fail "$what: the built tarvo reads examples/self/tarvo differently from build/tarvo"
    pass "$what: the built tarvo builds and runs examples/hello"
}

compile_lines() {
    grep -c -e ' -c ' "$1" || true
}

echo "+ examples/self: tarvo -j2"
(cd examples/self && "$tarvo" clean && "$tarvo" -j2) | tee "$work/self.log" ||
    fail "examples/self did not build"
[[ -x examples/self/out/tarvo ]] || fail "examples/self did not produce out/tarvo"
pass "examples/self builds with -j2"
(cd examples/self && "$tarvo" -j2) >"$work/self-again.log" || fail "examples/self failed again"
if [[ $(compile_lines "$work/self-again.log") != 0 ]]; then
    cat "$work/self-again.log"
    fail "examples/self compiled again with nothing changed"
fi
pass "examples/self compiles nothing when nothing changed"
check_built_tarvo "$root/examples/self/out/tarvo" self

# --- GoogleTest ---------------------------------------------------------------------------------
if [[ ! -f /usr/src/googletest/googletest/src/gtest-all.cc ]]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends googletest
fi
echo "+ examples/googletest: tarvo -j2 test"
(cd examples/googletest && "$tarvo" clean && "$tarvo" -j2 test) ||
    fail "examples/googletest: a sample failed to build or failed its tests"
pass "examples/googletest builds GoogleTest and its ten samples pass"

# --- distcc -------------------------------------------------------------------------------------
if ! command -v distccd >/dev/null 2>&1; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends distcc
fi
# distccd runs only compilers that have a link in /usr/lib/distcc; the client sends c++ under
# its full target name.
full_cxx=$(c++ -dumpmachine)-g++
if [[ ! -e /usr/lib/distcc/c++ || ! -e /usr/lib/distcc/$full_cxx ]]; then
    update-distcc-symlinks
fi
[[ -e /usr/lib/distcc/$full_cxx ]] ||
    fail "distccd would refuse $full_cxx: there is no /usr/lib/distcc/$full_cxx"

port=
for candidate in $(seq 3632 3731); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
        port=$candidate
        break
    fi
done
[[ -n $port ]] || fail "no free port for distccd in 3632..3731"

daemon_dir=$work/distccd
chmod 755 "$work" # the daemon drops to another user, who must reach its directory
mkdir -p "$daemon_dir" "$work/distcc-client"
user_option=()
if [[ $EUID -eq 0 ]]; then
    # distccd will not compile as root; it writes its log as the user it becomes.
    daemon_user=distccd
    id "$daemon_user" >/dev/null 2>&1 || daemon_user=nobody
    chown "$daemon_user" "$daemon_dir"
    user_option=(--user "$daemon_user")
fi
echo "+ distccd on 127.0.0.1:$port"
# In the foreground of its own process group, so that this script knows its id and can end it
# with its workers.
distccd --no-detach --daemon --allow 127.0.0.1 --listen 127.0.0.1 --port "$port" --jobs 2 \
    --log-file "$daemon_dir/log" --log-level info "${user_option[@]}" \
    </dev/null >/dev/null 2>"$work/distccd.err" &
daemon_pid=$!
for _ in $(seq 50); do
    kill -0 "$daemon_pid" 2>/dev/null || break
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        break
    fi
    sleep 0.2
done
if ! kill -0 "$daemon_pid" 2>/dev/null; then
    daemon_pid=
    fail "distccd did not start: $(cat "$work/distccd.err" "$daemon_dir/log" 2>/dev/null)"
fi

echo "+ examples/self through distcc: tarvo -j4 CCWRAP=distcc"
mkdir -p "$work/self"
cp examples/self/tarvo "$work/self/"
# No fallback: a compile the daemon refuses fails the build instead of running here unseen.
(cd "$work/self" && DISTCC_HOSTS="127.0.0.1:$port" DISTCC_DIR="$work/distcc-client" \
    DISTCC_FALLBACK=0 "$tarvo" -j4 CCWRAP=distcc "SRCDIR=$root/src") | tee "$work/distcc.log" ||
    fail "the build through distcc failed; distccd's log:
$(cat "$daemon_dir/log")"
sources=$(compile_lines "$work/distcc.log")
remote=$(grep -c 'COMPILE_OK' "$daemon_dir/log" || true)
if [[ $sources == 0 || $remote != "$sources" ]]; then
    cat "$daemon_dir/log"
    fail "distccd compiled $remote of the $sources sources"
fi
pass "distccd compiled all $sources sources of examples/self"
check_built_tarvo "$work/self/out/tarvo" distcc

stop_daemon
echo "examples: $passed passed, 0 failed"
