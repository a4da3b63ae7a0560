#!/usr/bin/env bash
# Sets up, builds and runs the reference host on its embedded default. Usage: scripts/run.sh [host args...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
"$root/scripts/setup.sh" "$build" >&2
exec "$build/quill-host" "$@"
