#!/usr/bin/env bash
# quill-host.exe under Wine without a person: the recordings of real scanners (tests/data/
# recordings, each with its .expect) replayed through the system's input into the host's window,
# with the same expectations as on Linux; what a Windows host asks of its own side (the value
# array the plug-in fills for GetProps); and bad input (a missing plug-in, a settings file that
# cannot be read), each with a clear message.
# Usage: wine_host_replay_test.sh QUILL_HOST_EXE RECORDINGS_DIR   (inside a display, WINEPREFIX set)
set -uo pipefail
HOST="$1"
RECORDINGS="$2"
ARTIFACTS=""
source "$(dirname "${BASH_SOURCE[0]}")/wine_session.sh"
require_tools

# The host's output of one run to its end, standard error included (host_out).
run_host() {
  host_out="$scratch/run-$RANDOM.txt"
  timeout 120 wine "$HOST" "$@" >"$host_out" 2>&1
}

# On Linux a recording replays on a virtual clock; here it runs on the real clock, where a loaded
# machine may deliver a key late. So the devices' time-out is raised by a margin, and every gap
# between key events longer than the recording's own time-out (a pause that must end a scan, or
# typing slow enough to be a person) is stretched by twice that margin: a gap inside a scan stays
# at least a margin below the raised time-out, a pause at least a margin above it. 250 ms is far
# more than a busy machine delays a key; the recordings then take about 20 s longer in all.
margin_ms=250

# stretch FILE TIMEOUT_MS: the recording with its long gaps stretched, on standard output. Both
# formats are read: evtest's "Event: time S.U, type 1 (EV_KEY), ..." and evemu's "E: S.U 0001 ...".
stretch() {
  awk -v timeout_us="$(($2 * 1000))" -v extra_us="$((2 * margin_ms * 1000))" '
    function splice(line, old, sec, usec,   at) {
      at = index(line, old)
      return substr(line, 1, at - 1) sprintf("%d.%06d", sec, usec) substr(line, at + length(old))
    }
    {
      time = ""
      key = 0
      if ($1 == "Event:" && $2 == "time") {
        time = $3
        sub(/,$/, "", time)
        key = index($0, "type 1 (EV_KEY)") > 0
      } else if ($1 == "E:" && NF >= 5) {
        time = $2
        key = $3 == "0001"
      }
      if (time == "") { print; next }
      split(time, part, ".")
      sec = part[1] + 0
      usec = part[2] + 0
      if (key) {
        if (seen && (sec - last_sec) * 1000000 + (usec - last_usec) > timeout_us) offset += extra_us
        seen = 1
        last_sec = sec
        last_usec = usec
      }
      usec += offset
      sec += int(usec / 1000000)
      usec = usec % 1000000
      print splice($0, time, sec, usec)
    }' "$1"
}

echo "== recordings"
for recording in "$RECORDINGS"/*.evtest "$RECORDINGS"/*.evemu; do
  expect="${recording%.*}.expect"
  [ -f "$expect" ] || continue
  name="$(basename "$recording")"
  # The .expect's command line, as a shell reads it ("--prefix '' --suffix '&13' --timeout 50").
  eval "options=($(sed -n 's/^# quill-host --replay FILE //p' "$expect"))"
  timeout_ms=0
  for ((i = 0; i < ${#options[@]}; ++i)); do
    if [ "${options[i]}" == "--timeout" ]; then
      timeout_ms="${options[i + 1]}"
      options[i + 1]=$((timeout_ms + margin_ms))
    fi
  done
  if [ "$timeout_ms" -eq 0 ]; then
    fail "$name: its .expect names no --timeout"
    continue
  fi
  stretched="$scratch/$name"
  stretch "$recording" "$timeout_ms" >"$stretched"
  # Long enough after the last key for the raised time-out to run out.
  run_host --replay "Z:$stretched" "${options[@]}" --settle $((timeout_ms + 2 * margin_ms))
  check "$name: quill-host.exe ends with status 0" 0 $?
  scans="$(sed -n 's/^\[[0-9.]*\] event: .* data=//p' "$host_out" | tr -d '\r')"
  typed="$(sed -n 's/^\[[0-9.]*\] typed: //p' "$host_out" | tr -d '\r\n')"
  check "$name: scans" "$(sed -n 's/^scan: //p' "$expect")" "$scans"
  check "$name: typed text" "$(sed -n 's/^typed: \{0,1\}//p' "$expect")" "$typed"
  if [ -n "$(grep -a '^warning:' "$host_out")" ]; then
    fail "$name: warnings"
    grep -a '^warning:' "$host_out"
  fi
done

echo "== a script's keys (--keys) typed into the window as a keyboard types them"
# With their scan codes: a key without one is taken for the capture's own replay and never framed.
# 30 ms between keys, 400 ms time-out: room for a busy machine on either side.
run_host --keys 'ab+++12+++cd' --interval 30 --timeout 400 --settle 1200
check "--keys: the scan" "12" "$(sed -n 's/^window scan: .* //p' "$host_out" | tr -d '\r')"
check "--keys: the field" "abcd" "$(sed -n 's/^window field: //p' "$host_out" | tr -d '\r')"
# The same checks read the output of the Linux host: lines end in LF alone.
check "lines end in LF, as on Linux" 0 "$(grep -ac $'\r' "$host_out")"

echo "== the host's own value array"
# The plug-in fills a value array that the host's event sink makes: the device's parameters.
run_host --prefix '##' --call GetProps x
check "GetProps succeeds" "" "$(grep -a 'call GetProps: failed' "$host_out")"
check "the parameter table holds the prefix" 1 "$(grep -ac 'HookPref.*|.*##' "$host_out")"

echo "== --version: the version the plug-in's version resource holds"
run_host --version
check "--version ends with status 0" 0 $?
check "--version prints the plug-in's four-part version" 1 \
  "$(grep -acE '^quill-host [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' "$host_out")"
check "--version names the plug-in beside the program" 1 "$(grep -ac '^plug-in: .*Quill.plu$' "$host_out")"
run_host --plugin 'Z:/nowhere/Quill.plu' --version
check "--version of a missing plug-in fails" 1 $?
check "--version of a missing plug-in says so" 1 \
  "$(grep -ac 'there is no plug-in at Z:/nowhere/Quill.plu' "$host_out")"

echo "== bad input"
run_host --plugin 'Z:/nowhere/Quill.plu' --call DevicesQuantity
check "a missing plug-in fails" 1 $?
check "a missing plug-in is named with where the host looked" 1 \
  "$(grep -ac 'cannot load the plug-in Z:/nowhere/Quill.plu: ' "$host_out")"
run_host --settings 'Z:/nowhere/devices.xml' --call DevicesQuantity
check "an unreadable settings file fails" 1 $?
check "an unreadable settings file is named" 1 \
  "$(grep -ac 'cannot read Z:/nowhere/devices.xml' "$host_out")"
printf '<EquList><Устройство' >"$scratch/broken.xml"
run_host --settings "Z:$scratch/broken.xml" --call DevicesQuantity
check "a broken settings file fails" 1 $?
check "a broken settings file is named with the plug-in's reason" 1 \
  "$(grep -ac "SettingDevices Z:$scratch/broken.xml: failed, code 20000: XML parse error" "$host_out")"
run_host --evdev /dev/input/event0
check "a Linux input device is refused" 2 $?

finish
