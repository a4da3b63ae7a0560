#!/usr/bin/env bash
# Sets up and builds the Windows tree (scripts/setup_windows.sh), then runs quill-host.exe under
# Wine with its own prefix in build-windows/wineprefix-host (made on the first run). Without a
# display (DISPLAY unset) the host runs inside a virtual one (xvfb-run), where nobody can type:
# use --keys, --replay or --call there.
# Usage: scripts/run_windows.sh [host args...]   (paths are Windows paths, e.g. Z:/home/me/x.xml)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-windows"
"$root/scripts/setup_windows.sh" "$build" >&2
export WINEPREFIX="$build/wineprefix-host" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
if [ ! -d "$WINEPREFIX" ]; then
  # A prefix is made with a display at hand, or its windows never show.
  if [ -n "${DISPLAY:-}" ]; then wineboot -i >/dev/null 2>&1; else xvfb-run -a wineboot -i >/dev/null 2>&1; fi
  wineserver -w
fi
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$build/quill-host.exe" "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$build/quill-host.exe" "$@"
