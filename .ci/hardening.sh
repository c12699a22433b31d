#!/usr/bin/env bash
# CI hardening stage: the whole test suite under AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer, then every libFuzzer target for about a minute. Any sanitizer report,
# crash, hang or leak fails the stage.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${TARVO_FUZZ_SECONDS:-60}

# libFuzzer comes with clang's runtime package; probe for a working fuzzer link.
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
probe_fuzzer() {
  command -v clang++ >/dev/null || return 1
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe_dir/probe.cpp"
  clang++ -fsanitize=fuzzer,address "$probe_dir/probe.cpp" -o "$probe_dir/probe" 2>/dev/null
}
if ! probe_fuzzer; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y clang libclang-rt-14-dev
  probe_fuzzer
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "+ sanitize: build and test"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize

echo "+ fuzz: build"
cmake --preset fuzz
cmake --build --preset fuzz

# Each target runs on a copy of its committed seed corpus, so that nothing is
# written into the tree; crash inputs land in the scratch directory and are shown.
work=$(mktemp -d)
trap 'rm -rf "$probe_dir" "$work"' EXIT

run_fuzzer() {
  local binary=$1
  local name
  name=$(basename "$binary" Fuzzer)
  name=$(echo "$name" | tr '[:upper:]' '[:lower:]')
  local corpus="$work/corpus-$name"
  mkdir -p "$corpus" "$work/artifacts-$name"
  if [ -d "fuzz/corpus/$name" ]; then
    cp -r "fuzz/corpus/$name/." "$corpus/"
  fi
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=$PWD/fuzz/$name.dict")
  if "$binary" "${dict[@]}" -max_total_time="$fuzz_seconds" -timeout=1 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts-$name/" "$corpus" \
    >"$work/log-$name" 2>&1; then
    echo "fuzz $name: ok ($(grep -E '^stat::number_of_executed_units' "$work/log-$name" | awk '{print $2}') executions)"
    return 0
  fi
  echo "fuzz $name: FAILED"
  tail -n 60 "$work/log-$name"
  for artifact in "$work/artifacts-$name"/*; do
    [ -f "$artifact" ] || continue
    echo "--- $artifact (base64)"
    base64 "$artifact"
  done
  return 1
}

# Two cores: two targets at a time.
mapfile -t fuzzers < <(find build-fuzz -maxdepth 2 -type f -name '*Fuzzer' -perm -u+x | sort)
if [ ${#fuzzers[@]} -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
failed=0
for ((i = 0; i < ${#fuzzers[@]}; i += 2)); do
  pids=()
  for binary in "${fuzzers[@]:i:2}"; do
    echo "+ fuzz $(basename "$binary") for ${fuzz_seconds}s"
    run_fuzzer "$binary" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
done
exit "$failed"
