#!/usr/bin/env bash
# A long fuzzing session, by hand (not CI): every libFuzzer target, or those
# named, runs for the given time on a copy of its committed corpus with its
# dictionary; then the inputs that reached new coverage are merged back into
# fuzz/corpus/<name>/, smallest first and within a budget, and a table gives
# each target's executions, coverage, corpus growth and findings.
#
#   fuzz/run-long.sh [-t seconds] [-j parallel] [-b KiB] [-n inputs] [Target ...]
#
#   -t  seconds per target (default 1800)
#   -j  targets that run at once (default 1; the machine's other work counts)
#   -b  the most a committed corpus may hold after the merge, in KiB (default 256)
#   -n  and in inputs (default 1000)
#
# Findings (crash-, leak-, timeout-, oom- and slow-unit- inputs) and each
# target's log stay in build-fuzz/long-run/<name>/. Builds the fuzz preset
# first. The exit status is 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=1800
parallel=1
budget_kib=256
budget_inputs=1000
while getopts "t:j:b:n:h" option; do
  case $option in
    t) seconds=$OPTARG ;;
    j) parallel=$OPTARG ;;
    b) budget_kib=$OPTARG ;;
    n) budget_inputs=$OPTARG ;;
    *) sed -n '2,/^set -e/{/^#/p}' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(find build-fuzz/fuzz -maxdepth 1 -type f -name '*Fuzzer' -perm -u+x \
    -printf '%f\n' | sort)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi

out=$PWD/build-fuzz/long-run
mkdir -p "$out"
# The scratch directories of MakefileFuzzer and CommandFuzzer: in memory where there is some.
scratch=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm

# The corpus directory and dictionary of a target: MakefileFuzzer -> makefile.
short_name() {
  local name=${1%Fuzzer}
  echo "$name" | tr '[:upper:]' '[:lower:]'
}

# Options of a target's own, as docs/robustness.md gives them.
extra_options() {
  case $1 in
    CommandFuzzer | MacroFuzzer) echo "-max_len=1024" ;;
  esac
}

bytes_in() {
  find "$1" -type f -printf '%s\n' | awk '{sum += $1} END {print sum + 0}'
}

# Adds the inputs of `new` that reached new coverage to the committed corpus,
# smallest first, while it stays within the budget. Prints "added left-out".
merge_back() {
  local binary=$1 committed=$2 new=$3 dir=$4
  local merged=$dir/merged
  rm -rf "$merged"
  mkdir -p "$merged" "$committed"
  cp -r "$committed/." "$merged/"
  "$binary" -merge=1 $(extra_options "$(basename "$binary")") "$merged" "$new" \
    >"$dir/merge.log" 2>&1
  local used inputs added=0 left=0
  used=$(bytes_in "$committed")
  inputs=$(find "$committed" -type f | wc -l)
  while read -r size file; do
    [ -e "$committed/$file" ] && continue
    if [ $((used + size)) -le $((budget_kib * 1024)) ] && [ "$inputs" -lt "$budget_inputs" ]; then
      cp "$merged/$file" "$committed/$file"
      used=$((used + size))
      inputs=$((inputs + 1))
      added=$((added + 1))
    else
      left=$((left + 1))
    fi
  done < <(find "$merged" -maxdepth 1 -type f -printf '%s %f\n' | sort -n)
  echo "$added $left"
}

run_target() {
  local target=$1
  local name binary dir corpus dict
  name=$(short_name "$target")
  binary=build-fuzz/fuzz/$target
  dir=$out/$name
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/findings"
  corpus=fuzz/corpus/$name
  [ -d "$corpus" ] && cp -r "$corpus/." "$dir/corpus/"
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=$PWD/fuzz/$name.dict")
  local status=0
  TMPDIR=$scratch "$binary" "${dict[@]}" $(extra_options "$target") -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/" \
    "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  local executions coverage findings growth
  executions=$(awk '/^stat::number_of_executed_units/ {print $2}' "$dir/log")
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$dir/log" | tail -n 1 | awk '{print $2 " / " $4}')
  findings=$(find "$dir/findings" -type f | wc -l)
  if [ "$status" -ne 0 ] && [ "$findings" -eq 0 ]; then
    findings="exit $status"
  fi
  growth=$(merge_back "$binary" "$corpus" "$dir/corpus" "$dir")
  printf '%s\t%s\t%s\t%s\t%s\n' "$target" "${executions:-?}" "${coverage:-?}" "$growth" \
    "$findings" >"$dir/summary"
}

echo "fuzzing ${#targets[@]} targets for ${seconds}s each, $parallel at a time; logs in $out"
running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

found=0
printf '\n%-22s %12s %14s %10s %9s %s\n' target executions "cov / ft" added "left out" findings
for target in "${targets[@]}"; do
  summary=$out/$(short_name "$target")/summary
  if [ ! -f "$summary" ]; then
    printf '%-22s did not finish (see its log)\n' "$target"
    found=1
    continue
  fi
  IFS=$'\t' read -r name executions coverage growth findings <"$summary"
  read -r added left <<<"$growth"
  printf '%-22s %12s %14s %10s %9s %s\n' "$name" "$executions" "$coverage" "$added" "$left" \
    "$findings"
  [ "$findings" = 0 ] || found=1
done
for corpus in fuzz/corpus/*/; do
  printf 'corpus %-16s %5d inputs %6d KiB\n' "$(basename "$corpus")" \
    "$(find "$corpus" -type f | wc -l)" "$(($(bytes_in "$corpus") / 1024))"
done
exit "$found"
