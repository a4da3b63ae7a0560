#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each in turn for SECONDS (default 60), growing
# the corpus under fuzz/corpus/<target> and minimising it afterwards (libFuzzer's merge keeps the
# smallest set of inputs that covers what the old corpus and the new inputs cover together).
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]      (targets: the names of fuzz/*.cpp)
# Environment: QUILL_FUZZ_BUILD (build tree, default build-fuzz), QUILL_FUZZ_JOBS (build jobs),
# QUILL_FUZZ_RUNS (stop a target after this many executions, even before SECONDS are up).
#
# AddressSanitizer runs without allocation stacks and with a small quarantine unless ASAN_OPTIONS
# says otherwise: that buys about a quarter more executions. A finding still stops the run and
# keeps its input; run the target on that input with ASAN_OPTIONS= for the full report.
#
# Each target's line of the summary gives its executions, the corpus size before and after, and
# whether it found anything; a finding is kept under <build>/fuzz-artifacts and makes the script
# exit with 1. Commit fuzz/corpus when the summary shows it grew.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
build="${QUILL_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${QUILL_FUZZ_JOBS:-$(nproc)}"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in "$root"/fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQUILL_FUZZ=ON -DQUILL_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz-}"

export ASAN_OPTIONS="${ASAN_OPTIONS-malloc_context_size=0:quarantine_size_mb=16}"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
summary=()
for target in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/$target"
  mkdir -p "$corpus"
  fresh="$(mktemp -d)"
  merged="$(mktemp -d)"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/$target-")
  [ -n "${QUILL_FUZZ_RUNS:-}" ] && options+=(-runs="$QUILL_FUZZ_RUNS")
  [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
  before=$(find "$corpus" -type f | wc -l)
  log="$build/fuzz-$target.log"
  # New inputs go to the first folder; the committed corpus is only read.
  found=no
  "$build/fuzz/fuzz-$target" "${options[@]}" "$fresh" "$corpus" >"$log" 2>&1 || { found=yes; status=1; }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # Minimise: the merged folder receives the smallest covering set of both.
  if "$build/fuzz/fuzz-$target" -merge=1 "$merged" "$corpus" "$fresh" >>"$log" 2>&1; then
    find "$corpus" -type f -delete
    cp "$merged"/* "$corpus"/ 2>/dev/null || true
  fi
  after=$(find "$corpus" -type f | wc -l)
  rm -rf "$fresh" "$merged"
  summary+=("$target: ${runs:-0} executions in at most ${seconds} s, corpus $before -> $after inputs, finding: $found (log: $log)")
done
printf 'summary: %s\n' "${summary[@]}"
exit $status
