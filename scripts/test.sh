#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [BUILD_DIR] [cmake args...]
# With --windows first: the Windows library's suite under Wine (scripts/test_windows.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "${1:-}" = "--windows" ]; then
  shift
  exec "$root/scripts/test_windows.sh" "$@"
fi
build="${1:-$root/build}"
[ $# -gt 0 ] && shift
"$root/scripts/setup.sh" "$build" "$@"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
