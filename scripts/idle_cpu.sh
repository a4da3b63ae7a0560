#!/usr/bin/env bash
# Measures the processor time an idle quill-host takes: the terminal host (standard input open,
# nothing typed) and, when Xvfb is installed, the window host. Each is left alone for a second,
# then its user and system time is read from /proc over SECONDS seconds (default 10).
# Usage: scripts/idle_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-10}"
ticks=$(getconf CLK_TCK)
export QUILL_DATA_DIR="${QUILL_DATA_DIR:-$(mktemp -d)}" LANG=C.UTF-8

cpu_ticks() { # utime + stime of process $1
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

measure() { # name pid
  sleep 1
  local before after
  before=$(cpu_ticks "$2")
  sleep "$seconds"
  after=$(cpu_ticks "$2")
  awk -v n="$1" -v t=$((after - before)) -v hz="$ticks" -v s="$seconds" \
    'BEGIN { printf "%s: %d ticks in %d s = %.3f%% of a core (goal under 0.1%%)\n", n, t, s, 100 * t / hz / s }'
}

# The terminal host: standard input is a pipe that stays open and quiet.
fifo="$QUILL_DATA_DIR/idle-input"
mkfifo "$fifo"
"$build/quill-host" <"$fifo" >/dev/null 2>&1 &
pid=$!
exec 3>"$fifo"
measure "terminal host" "$pid"
exec 3>&- # end of input: the host quits
wait "$pid" || true

if command -v Xvfb >/dev/null && [ -e "$build/quill-host-window.so" ]; then
  Xvfb :93 -screen 0 640x400x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  DISPLAY=:93 "$build/quill-host" --gui </dev/null >/dev/null 2>&1 &
  host=$!
  measure "window host" "$host"
  kill "$host" "$xvfb"
  wait "$host" "$xvfb" 2>/dev/null || true
fi
