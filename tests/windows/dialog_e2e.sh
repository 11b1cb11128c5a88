#!/usr/bin/env bash
# veltrane.exe end to end under Wine, on a private X display with a window
# manager, driven with mouse and keyboard as a person would use it.
# Usage: dialog_e2e.sh WINDOWS_BIN LINUX_BIN WORK_DIR
#   WINDOWS_BIN holds veltrane.exe, LINUX_BIN the Linux veltrane-check whose
#   protocol (with CR LF line ends) the dialog must write.
set -uo pipefail
win_bin=$(cd "$1" && pwd)
linux_bin=$(cd "$2" && pwd)
mkdir -p "$3"
work=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tests/ui/xsession.sh"
source "$here/wine_env.sh"

app_pid=""
holder_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  release_held_file
  wine_server_stop
  xsession_stop
}
trap cleanup EXIT

wine_prefix "$work/prefix" || { echo "FAIL: no Wine prefix"; exit 1; }
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/t" "$drive_c/viewer"
x86_64-w64-mingw32-gcc -O2 -o "$drive_c/viewer/record_open.exe" "$here/record_open.c" || exit 1
x86_64-w64-mingw32-gcc -O2 -o "$work/hold_open.exe" "$here/hold_open.c" || exit 1
# The shell opens text files with a stub that records what it was asked to
# open, so that no viewer comes up.
wine reg add 'HKLM\Software\Classes\.txt' /ve /d txtfile /f >/dev/null
wine reg add 'HKLM\Software\Classes\txtfile\shell\open\command' /ve \
  /d '"C:\viewer\record_open.exe" "%1"' /f >/dev/null
opened=$drive_c/viewer/opened.log

fail() {
  echo "FAIL: $*"
  return 1
}

start() {
  timeout 120 wine "$win_bin/veltrane.exe" "$@" >>"$work/veltrane.log" 2>&1 &
  app_pid=$!
}

main_window() {
  main=$(xsession_wait_window Veltrane 30) || fail "no window 'Veltrane'"
}

# Clicks a control of the main dialog, given in dialog units of its
# 320 x 182 template. The dialog gets the focus first: a click that only
# activates a window does not always reach its button.
click_du() {
  xsession_focus "$main" || return
  xsession_click_du "$main" "$@" 320 182
}
load_button=(92 41 133 14)
check_button=(92 78 133 14)
click_load() { click_du "${load_button[@]}"; }
click_check() { click_du "${check_button[@]}"; }
click_info() { click_du 11 161 60 14; }
click_exit() { click_du 92 116 133 14; }

# Prints the id of the window titled $1 that the click $2 opens. A click
# lost on the way is tried once more; a disabled button opens nothing
# however often it is clicked.
open_with() {
  local id
  "$2"
  id=$(xsession_wait_window "$1" 5) || {
    "$2"
    id=$(xsession_wait_window "$1" 10)
  } || return 1
  echo "$id"
}

# Prints "enabled" or "disabled" for the main dialog's button at $@ (dialog
# units), from what the screen shows: a disabled button's text is grey, an
# enabled one's black.
button_state() {
  local WIDTH HEIGHT darkest
  eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(WIDTH|HEIGHT)=')"
  local x=$(($1 * WIDTH / 320 + 4)) y=$(($2 * HEIGHT / 182 + 3))
  local w=$(($3 * WIDTH / 320 - 8)) h=$(($4 * HEIGHT / 182 - 6))
  darkest=$(import -window "$main" png:- 2>/dev/null |
    convert png:- -crop "${w}x${h}+${x}+${y}" -colorspace Gray \
      -format '%[fx:int(minima.intensity*255)]' info: 2>/dev/null)
  if [ "${darkest:-255}" -lt 100 ]; then echo enabled; else echo disabled; fi
}

# Waits up to five seconds for Check and Load to show as $1 and $2.
expect_buttons() {
  xsession_poll 5 buttons_are "$1 $2" ||
    fail "Check and Load are $buttons, expected $1 and $2"
}

buttons_are() {
  buttons="$(button_state "${check_button[@]}") $(button_state "${load_button[@]}")"
  [ "$buttons" = "$1" ]
}

# Waits for the program to end; fails unless it exits with status 0.
expect_exit() {
  xsession_expect_exit "$app_pid" && app_pid=""
}

# Types the Windows path $1 into the file dialog titled $2, whose file name
# field has the keyboard when it opens, and confirms it.
answer_file_dialog() {
  local dialog
  dialog=$(xsession_wait_window "$2" 15) || fail "no file dialog '$2'" || return
  xsession_focus "$dialog" || return
  xdotool type --delay 10 "$1"
  shot "file-dialog-${2// /-}"
  xdotool key Return
  xsession_wait_gone "$2" 5 || fail "file dialog '$2' stayed open"
}

# With VELTRANE_SHOTS set to a folder, saves the screen there as $1.png, to
# look at what the test saw, once the windows are painted.
shot() {
  [ -n "${VELTRANE_SHOTS:-}" ] || return 0
  mkdir -p "$VELTRANE_SHOTS"
  xsession_settled 3
  import -window root "$VELTRANE_SHOTS/$1.png"
}

focus_main() {
  xsession_focus "$main"
}

# The protocol the dialog writes for $1 loaded from the Windows path $2:
# the Linux program's, naming the path as the dialog shows it, with CR LF.
expected_protocol() {
  local dir=$work/linux
  mkdir -p "$dir"
  cp "$1" "$dir/input.ins"
  (cd "$dir" && "$linux_bin/veltrane-check" input.ins) |
    DISPLAY_NAME=$2 perl -0777 -pe 's/^(File: ")input\.ins"/$1$ENV{DISPLAY_NAME}"/m; s/\n/\r\n/g'
}

test_start_without_file() {
  start
  main_window || return
  xsession_stays_away veltrane || fail "a message box appeared" || return
  shot main-without-file
  expect_buttons disabled enabled || return
  click_check
  xsession_stays_away "Select Protfile" || fail "Check opened the save dialog" || return
  local open
  open=$(open_with Open click_load) || fail "Load opened no dialog" || return
  shot open-dialog
  xsession_focus "$open" || return
  xdotool key Escape
  xsession_wait_gone Open || fail "open dialog stayed" || return
  # Cancelling changed nothing.
  expect_buttons disabled enabled || return
  click_exit
  expect_exit
}

test_enter_ends_program() {
  start
  main_window || return
  focus_main || return
  xdotool key Return
  expect_exit
}

test_check_writes_protocol_and_keeps_existing_file() {
  local input='C:\t\My Rack.ins' protocol="$drive_c/t/prot.txt"
  cp "$root/examples/studio_rack.ins" "$drive_c/t/My Rack.ins"
  expected_protocol "$root/examples/studio_rack.ins" "$input" >"$work/expected"
  rm -f "$opened" "$protocol"

  start "$input"
  main_window || return
  xsession_stays_away veltrane || fail "a message box appeared" || return
  expect_buttons enabled disabled || return
  open_with "Select Protfile" click_check >/dev/null || fail "Check opened no save dialog" || return
  # The save dialog adds the missing ".txt".
  answer_file_dialog 'C:\t\prot' "Select Protfile" || return
  xsession_wait_for 5 "the protocol to be handed to the viewer" test -s "$opened" || return
  cmp -s "$protocol" "$work/expected" || fail "protocol differs: $(cmp "$protocol" "$work/expected")" || return
  [ "$(tr -d '\r' <"$opened")" = 'C:\t\prot.txt' ] ||
    fail "viewer got '$(cat "$opened")'" || return

  # The next file: Load again, then Check onto the protocol, which is
  # there and not empty; No keeps it.
  expect_buttons disabled enabled || return
  printf 'older protocol\r\n' >"$protocol"
  open_with Open click_load >/dev/null || fail "Load opened no dialog" || return
  answer_file_dialog "$input" Open || return
  expect_buttons enabled disabled || return
  open_with "Select Protfile" click_check >/dev/null || fail "Check opened no save dialog" || return
  answer_file_dialog 'C:\t\prot' "Select Protfile" || return
  local box
  box=$(xsession_wait_window veltrane 10) || fail "no overwrite question" || return
  xsession_focus "$box" || return
  shot overwrite-question
  xdotool key n
  xsession_wait_gone veltrane || fail "overwrite question stayed" || return
  # Once the program has ended, nothing more can happen to the files.
  focus_main || return
  xdotool key Escape
  expect_exit || return
  [ "$(cat "$protocol")" = $'older protocol\r' ] || fail "the existing file changed" || return
  [ "$(wc -l <"$opened")" -eq 1 ] || fail "the viewer was asked again"
}

test_info_box() {
  start
  main_window || return
  local info
  info=$(open_with Info click_info) || fail "no Info box" || return
  shot info-box
  # The Info box's Exit in its 186 x 87 template.
  xsession_click_du "$info" 129 66 50 14 186 87
  xsession_wait_gone Info || fail "Info box stayed open" || return
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended with the Info box" || return
  focus_main || return
  xdotool key Return
  expect_exit
}

# A file that another program holds open cannot be loaded.
test_held_file_on_command_line() {
  cp "$root/examples/studio_rack.ins" "$drive_c/t/held.ins"
  rm -f "$work/holder.out" "$work/holder.in"
  # The helper holds the file until its standard input, a pipe kept open
  # here, ends.
  mkfifo "$work/holder.in"
  wine "$work/hold_open.exe" 'C:\t\held.ins' <"$work/holder.in" >"$work/holder.out" 2>&1 &
  holder_pid=$!
  exec 7>"$work/holder.in"
  xsession_wait_for 10 "the helper to open the file" grep -qs open "$work/holder.out" || return
  start 'C:\t\held.ins'
  local box
  box=$(xsession_wait_window veltrane 30) || fail "no message" || return
  xsession_focus "$box" || return
  shot held-file-message
  xdotool key Return
  xsession_wait_gone veltrane || fail "message stayed" || return
  main_window || return
  shot main-after-held-file
  expect_buttons disabled enabled || return
  focus_main || return
  xdotool key Escape
  expect_exit || return
  release_held_file
}

release_held_file() {
  exec 7>&-
  [ -n "$holder_pid" ] && wait "$holder_pid" 2>/dev/null
  holder_pid=""
}

on_test_failed() {
  import -window root "$work/$1.png" 2>/dev/null && echo "   the screen is in $work/$1.png"
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  app_pid=""
  # What the test left open goes with the server; the next test gets a
  # new one.
  wine_server_stop "$WINEPREFIX"
  wine_server_start "$WINEPREFIX"
}

xsession_start || exit 1
xsession_run_tests test_start_without_file test_enter_ends_program \
  test_check_writes_protocol_and_keeps_existing_file test_info_box \
  test_held_file_on_command_line
