# Helpers for the tests that drive quill-host.exe under Wine as a person does: xdotool's real X key
# and mouse events into the host's window on the display of the run (scripts/test_windows.sh runs
# the suite inside xvfb-run), the host's standard output collected, screenshots into the build's
# artifacts folder. Sourced by the test scripts; each check that fails is counted and reported,
# and the script's status is the number of failures (0 passes). A missing tool skips (status 77).
#
# The caller sets HOST (quill-host.exe), ARTIFACTS (a folder) and WINEPREFIX. Waits are bounded:
# a host that never opens its window or never ends fails the check instead of hanging the run.

failures=0
scratch="$(mktemp -d "${TMPDIR:-/tmp}/quill-wine-host.XXXXXX")"
host_pid=""
host_out=""
host_window=""
trap 'stop_host; rm -rf "$scratch"' EXIT

require_tools() {
  local tool
  for tool in wine xdotool "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no display (run under xvfb-run, as scripts/test_windows.sh does)"
    exit 77
  fi
}

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# check NAME EXPECTED ACTUAL
check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    fail "$1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
  fi
}

# The lines of the host's output that start with PREFIX, without it.
lines_of() {
  grep -a "^$1" "$host_out" | sed "s/^$1//" | tr -d '\r'
}

# Waits up to SECONDS for TEXT in the host's output.
wait_output() {
  local text="$1" tenths=$(($2 * 10))
  for ((i = 0; i < tenths; ++i)); do
    grep -aqF -- "$text" "$host_out" && return 0
    sleep 0.1
  done
  return 1
}

# Starts the host with ARGS and returns at once (host_pid, host_out).
launch_host() {
  host_out="$scratch/host-$RANDOM.txt"
  : >"$host_out"
  wine "$HOST" "$@" >"$host_out" 2>&1 &
  host_pid=$!
}

# Waits up to 10 seconds for a visible window of the host other than EXCEPT; its id, or nothing.
wait_window() {
  local found
  for ((i = 0; i < 100; ++i)); do
    found="$(xdotool search --onlyvisible --class 'quill-host.exe' | grep -vx "${1:-none}" | head -1)"
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

# Starts the host with ARGS, waits for its window and gives it the keyboard focus (host_window).
start_host() {
  launch_host "$@"
  open_window "$@"
}

# Waits for the host's window and gives it the keyboard focus (host_window). The first start of a
# program in a prefix is slow: the window gets half a minute.
open_window() {
  if ! wait_output "closing it quits" 30; then
    fail "the window did not open: quill-host.exe $*"
    cat "$host_out"
    return 1
  fi
  host_window="$(xdotool search --onlyvisible --name '^Quill - checkout$' | head -1)"
  if [ -z "$host_window" ]; then
    fail "no window named 'Quill - checkout'"
    return 1
  fi
  xdotool windowfocus --sync "$host_window"
}

# Waits up to 20 seconds for the host to end; its status, 124 if it did not end.
wait_host() {
  local status
  for ((i = 0; i < 200; ++i)); do
    if ! kill -0 "$host_pid" 2>/dev/null; then
      wait "$host_pid"
      status=$?
      host_pid=""
      return $status
    fi
    sleep 0.1
  done
  return 124
}

stop_host() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  host_pid=""
}

# xdotool types TEXT with DELAY milliseconds between its keys.
type_text() {
  xdotool type --delay "$1" -- "$2"
}

# A click at X,Y of the window's client area (the X window Wine makes for it).
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# A screenshot as ARTIFACTS/NAME.png: of the window WINDOW when given, else of the whole screen
# (skipped without netpbm's converters).
shot() {
  mkdir -p "$ARTIFACTS"
  local what=(-root)
  [ -n "${2:-}" ] && what=(-id "$2")
  if command -v xwd >/dev/null && command -v xwdtopnm >/dev/null && command -v pnmtopng >/dev/null; then
    xwd "${what[@]}" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$ARTIFACTS/$1.png" 2>/dev/null ||
      fail "screenshot $1"
  else
    echo "note: no screenshot $1 (xwd, xwdtopnm, pnmtopng are needed)"
  fi
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
