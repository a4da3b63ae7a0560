#!/usr/bin/env bash
# quill-host.exe under Wine, driven as a person drives it: xdotool types real X keys into its
# window as a person and as two wedge scanners do (one framed by a prefix and a suffix, one by a
# Return suffix alone), types 600 keys at its fastest, and edits a device's prefix in the settings
# dialog. The host reports at the end what its input field held and which scans it listed; the
# field must hold exactly the person's text, every scan must be cut out of it.
# Usage: wine_host_window_test.sh QUILL_HOST_EXE ARTIFACTS_DIR   (inside a display, WINEPREFIX set)
set -uo pipefail
HOST="$1"
ARTIFACTS="$2"
source "$(dirname "${BASH_SOURCE[0]}")/wine_session.sh"
require_tools

# The window's controls, in client coordinates (host/win32/host_window.cpp).
settings_button=(70 396)
close_button=(570 396)
second_device=(100 295)
# The settings dialog's prefix field and OK button, in its client coordinates (the form's layout in
# capture/settings_dialog/kb_settings.cpp).
dialog_prefix=(200 70)
dialog_ok=(201 170)
dialog_cancel=(289 170)

# A till's two devices. The time-outs (400 ms between a scanner's keys) leave room for a busy
# machine, where Wine may deliver a scanner's keys late; a person's pauses before and after a scan
# (pause) are twice that, so no person's key can join a scan.
devices="$scratch/devices.xml"
cat >"$devices" <<'XML'
<EquList><Устройство Код="{11111111-2222-3333-4444-555555555555}" КодМодели="{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}" Наименование="Till scanner"><Параметры><Параметр Идентификатор="HookPref" Зна4ение="+++"/><Параметр Идентификатор="HookPost" Зна4ение="+++"/><Параметр Идентификатор="HookTimeOut" Зна4ение="400"/></Параметры></Устройство><Устройство Код="{21111111-2222-3333-4444-555555555555}" КодМодели="{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}" Наименование="Card reader"><Параметры><Параметр Идентификатор="HookPref" Зна4ение=""/><Параметр Идентификатор="HookPost" Зна4ение="&amp;13"/><Параметр Идентификатор="HookTimeOut" Зна4ение="400"/></Параметры></Устройство></EquList>
XML
devices_wine="Z:$devices"
pause() { sleep 0.8; }
# A scanner whose suffix is Return ("type" would make a line feed of "\n", not the Return key).
scan_with_return() {
  type_text 3 "$1"
  xdotool key Return
}

close_host() {
  click_at "$host_window" "${close_button[@]}"
  wait_host
  check "the host ends with status 0 ($1)" 0 $?
}

echo "== a person typing between two scanners"
if start_host --settings "$devices_wine"; then
  type_text 90 "Qty 2"
  pause
  type_text 3 "+++4006381333931+++"
  pause
  type_text 90 " x3 Milk"
  pause
  scan_with_return CARD-7781
  pause
  type_text 90 " paid"
  pause
  shot quill_host_exe_window "$host_window"
  shot quill_host_exe_screen
  # A lone "+" is held (it may open a scan) when the window closes: it reaches the field once.
  type_text 1 "+"
  close_host "typing and scans"
  check "the field holds exactly the typed text" "Qty 2 x3 Milk paid+" "$(lines_of 'window field: ')"
  check "both scans are listed" $'Till scanner 4006381333931\nCard reader CARD-7781' \
    "$(lines_of 'window scan: ')"
  check "two scan events" 2 "$(lines_of 'event: ' | wc -l)"
fi

echo "== 600 keys at the fastest rate"
if start_host; then
  # Every key of the main block that opens no scan (the default device's prefix is "+++"), in a
  # varying order.
  keys='abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 -=;'"'"',./`!@#$%^&*()_{}|:"<>?~\'
  text=""
  for ((i = 0; ${#text} < 600; ++i)); do
    text+="${keys:$(((i * 37) % ${#keys})):1}"
  done
  type_text 0 "$text"
  pause
  close_host "600 keys"
  # As the host prints it: a backslash doubled.
  check "the field holds all 600 keys once, in order" "${text//\\/\\\\}" "$(lines_of 'window field: ')"
  check "no scan" "" "$(lines_of 'window scan: ')"
fi

echo "== the settings dialog edits the selected device's prefix; the next scan uses it"
if start_host --settings "$devices_wine"; then
  click_at "$host_window" "${second_device[@]}"
  click_at "$host_window" "${settings_button[@]}"
  dialog="$(wait_window "$host_window")"
  if [ -z "$dialog" ]; then
    fail "no settings dialog"
  else
    xdotool windowfocus --sync "$dialog"
    # A person clicks into the prefix field and types. The card reader takes every key as the
    # start of a scan and lets them go to the dialog when its time-out runs out (pause); Enter
    # would end such a scan, so the person clicks OK.
    click_at "$dialog" "${dialog_prefix[@]}"
    type_text 90 "##"
    pause
    shot quill_host_exe_settings
    click_at "$dialog" "${dialog_ok[@]}"
    wait_output "The settings dialog: accepted" 10 || fail "the dialog was not accepted"
    xdotool windowfocus --sync "$host_window"
    type_text 90 "ok"
    pause
    # Without the prefix the card reader would take "CARD-1" too; with it, a person's "CARD" stays
    # text and only the framed one is a scan.
    scan_with_return "##CARD-1"
    pause
    shot quill_host_exe_after_settings
  fi
  close_host "settings dialog"
  check "the field holds the typed text only" "ok" "$(lines_of 'window field: ')"
  check "the scan used the new prefix" "Card reader CARD-1" "$(lines_of 'window scan: ')"
fi

echo "== --dialog cancelled: the device keeps its settings, the window takes keys"
launch_host --dialog
dialog="$(wait_window)"
if [ -z "$dialog" ]; then
  fail "no settings dialog before the window"
else
  shot quill_host_exe_dialog_option
  click_at "$dialog" "${dialog_cancel[@]}"
  wait_output "The settings dialog: cancelled" 10 || fail "the dialog was not cancelled"
  if open_window --dialog; then
    type_text 90 "ok"
    pause
    type_text 3 "+++12345+++"
    pause
    close_host "--dialog"
    check "the field holds the typed text" "ok" "$(lines_of 'window field: ')"
    check "the scan used the default framing" "12345" "$(lines_of 'window scan: ' | sed 's/.* //')"
  fi
fi

finish
