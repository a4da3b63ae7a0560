#!/usr/bin/env bash
# Builds the benchmark programs if needed, runs every one of them (one per bench/*.cpp, so a new
# program joins by being there) and prints one table of the rows they report: each measure, its
# anchor, the ratio measured in this run, the goal and whether it is met. Each program prints its
# rows as "measure: what | anchor | ratio | goal" lines (bench/summary_reporter.h); its whole
# output is kept in BUILD_DIR/bench-output/.
#
# Usage: scripts/bench.sh [--build DIR] [--only NAME]... [-- BENCHMARK ARGUMENTS...]
#   --build DIR   the build tree (default: build/); configured as a release build if it is new
#   --only NAME   run only bench/NAME.cpp's program (repeatable)
#   after --      passed to every program, e.g. --benchmark_repetitions=3 for medians of three
# Exits non-zero when a program fails or a goal is missed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
only=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --only) only+=("$2"); shift 2 ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done

names=()
if [ ${#only[@]} -gt 0 ]; then
  names=("${only[@]}")
else
  for src in "$root"/bench/*.cpp; do names+=("$(basename "$src" .cpp)"); done
fi
for name in "${names[@]}"; do
  [ -f "$root/bench/$name.cpp" ] || { echo "bench.sh: no bench/$name.cpp" >&2; exit 2; }
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BENCH=ON >/dev/null
fi
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
  echo "bench.sh: warning: $build is not a release build; its times mean little" >&2
fi
if grep -q '^QUILL_BENCH:BOOL=OFF$' "$build/CMakeCache.txt"; then
  cmake -S "$root" -B "$build" -DQUILL_BENCH=ON >/dev/null
fi
targets=(Quill)
for name in "${names[@]}"; do targets+=("bench-$name"); done
echo "building ${targets[*]} in $build" >&2
cmake --build "$build" --target "${targets[@]}" >&2

out="$build/bench-output"
mkdir -p "$out"
rows="$out/rows.txt"
: >"$rows"
failed=0
for name in "${names[@]}"; do
  echo "running bench-$name" >&2
  if ! "$build/bench/bench-$name" --benchmark_color=false "${extra[@]}" >"$out/$name.txt" 2>&1; then
    echo "bench.sh: bench-$name failed; its output is in $out/$name.txt" >&2
    echo "measure: bench-$name failed (see $out/$name.txt) | - | - | -" >>"$rows"
    failed=1
  fi
  sed 's/\x1b\[[0-9;]*m//g' "$out/$name.txt" | grep '^measure: ' >>"$rows" || true
done

# The table, in Markdown: one row per measure, in the order the programs printed them.
awk -F ' [|] ' -v when="$(date -u '+%Y-%m-%d %H:%M UTC')" '
  BEGIN {
    print "Speed table, one run (" when "); ratios of CPU time to the anchor measured in the same run"
    print ""
    print "| measure | anchor | ratio | goal | met |"
    print "|---|---|---|---|---|"
  }
  {
    sub(/^measure: /, "", $1)
    met = "-"
    if ($4 ~ /^<= /) { met = ($3 + 0 <= substr($4, 4) + 0) ? "yes" : "no" }
    else if ($4 ~ /^>= /) { met = ($3 + 0 >= substr($4, 4) + 0) ? "yes" : "no" }
    if (met == "no") missed++
    printf "| %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, met
  }
  END {
    print ""
    printf "%d measures, %d goals missed\n", NR, missed + 0
    exit missed > 0 ? 3 : 0
  }' "$rows" || failed=1
exit $failed
