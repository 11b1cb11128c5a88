#!/usr/bin/env bash
# The dialog program end to end on a private X display, driven with mouse
# and keyboard as a person would use it.
# Usage: dialog_e2e.sh PATH/TO/veltrane EXAMPLES_DIR
set -uo pipefail
veltrane=$1
examples=$2
checker="$(dirname "$veltrane")/veltrane-check"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xsession.sh"

work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  xsession_stop
  rm -rf "$work"
}
trap cleanup EXIT

# The viewer is a stub that records what it was asked to open.
mkdir -p "$work/bin" "$work/home"
cat >"$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$@" >>"$work/opened"
STUB
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH" HOME="$work/home" NO_AT_BRIDGE=1 GDK_BACKEND=x11

fail() {
  echo "FAIL: $*"
  return 1
}

# Starts veltrane with the given arguments and waits for its main dialog
# (or, with ONLY_START=1, just starts it).
start() {
  timeout 120 "$veltrane" "$@" >>"$work/veltrane.log" 2>&1 &
  app_pid=$!
}

main_window() {
  main=$(xsession_wait_window Veltrane 15) || fail "no window 'Veltrane'"
}

# Clicks a control of the main dialog, given in dialog units of its
# 320 x 182 template, once the dialog has the focus.
click_du() {
  xsession_focus "$main" || return
  xsession_click_du "$main" "$@" 320 182
}
click_load() { click_du 92 41 133 14; }
click_check() { click_du 92 78 133 14; }
click_info() { click_du 11 161 60 14; }
click_exit() { click_du 92 116 133 14; }

# Waits for the program to end; fails unless it exits with status 0.
expect_exit() {
  xsession_expect_exit "$app_pid" && app_pid=""
}

# Types $1 into the file dialog titled $2 and confirms it. The name field
# may be busy completing the typed folder and miss the Return, so Return is
# pressed until the dialog goes.
answer_file_dialog() {
  local dialog try
  dialog=$(xsession_wait_window "$2" 15) || fail "no file dialog '$2'" || return
  xsession_focus "$dialog" || return
  xdotool key ctrl+a
  xdotool type --delay 10 "$1"
  for try in 1 2 3; do
    xsession_focus "$dialog" || return
    xdotool key Return
    xsession_wait_gone "$2" 3 && return
  done
  fail "file dialog '$2' stayed open"
}

# Gives the main dialog the keyboard.
focus_main() {
  xsession_focus "$main"
}

# Waits up to ten seconds until the viewer has been asked $1 times in all.
expect_viewer_calls() {
  xsession_wait_for 10 "the viewer to be asked for the protocol (call $1)" \
    viewer_calls_are "$1"
}

viewer_calls_are() {
  [ "$(wc -l <"$work/opened" 2>/dev/null)" = "$1" ]
}

test_start_without_file() {
  start
  main_window || return
  xsession_stays_away veltrane || fail "a message box appeared" || return
  click_check
  xsession_stays_away "Select Protfile" || fail "Check is enabled" || return
  click_load
  local open
  open=$(xsession_wait_window "Select a file" 10) || fail "Load is disabled" || return
  xsession_focus "$open" || return
  xdotool key Escape
  xsession_wait_gone "Select a file" || fail "open dialog stayed" || return
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

test_check_writes_protocol_and_overwrites() {
  local input="$work/My Rack.ins"
  cp "$examples/studio_rack.ins" "$input"
  "$checker" "$input" >"$work/expected"
  rm -f "$work/opened"
  # Blanks, quotes, "$" and ";" reach the viewer as one argument; the save
  # dialog adds the missing ".txt".
  local typed="$work/prot \$HOME; 'x'"
  local protocol="$typed.txt"

  start "$input"
  main_window || return
  click_check
  answer_file_dialog "$typed" "Select Protfile" || return
  # The viewer is asked once the protocol is written.
  expect_viewer_calls 1 || return
  cmp -s "$protocol" "$work/expected" || fail "protocol differs" || return
  [ "$(cat "$work/opened" 2>/dev/null)" = "$protocol" ] ||
    fail "viewer got '$(cat "$work/opened" 2>/dev/null)'" || return

  # The next file: Load again, then Check onto the existing protocol.
  printf 'old' >"$protocol"
  click_load
  answer_file_dialog "$input" "Select a file" || return
  click_check
  answer_file_dialog "$typed" "Select Protfile" || return
  local box
  box=$(xsession_wait_window veltrane 10) || fail "no overwrite question" || return
  xsession_focus "$box" || return
  xdotool key alt+y
  xsession_wait_gone veltrane || fail "overwrite question stayed" || return
  expect_viewer_calls 2 || return
  cmp -s "$protocol" "$work/expected" || fail "protocol not replaced" || return
  focus_main || return
  xdotool key Escape
  expect_exit
}

test_info_box() {
  start
  main_window || return
  click_info
  local info
  info=$(xsession_wait_window Info 10) || fail "no Info box" || return
  # The Info box's Exit in its 186 x 87 template.
  xsession_click_du "$info" 129 66 50 14 186 87
  xsession_wait_gone Info || fail "Info box stayed open" || return
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended with the Info box" || return
  # The close box ends the program as well.
  focus_main || return
  xdotool key alt+F4
  expect_exit
}

# A file that is missing or that another program holds locked.
test_unusable_file_on_command_line() {
  local locked="$work/locked.ins"
  cp "$examples/studio_rack.ins" "$locked"
  # The holder is the process that took the lock, so that ending it
  # releases the lock.
  (flock 9 && exec sleep 60) 9<"$locked" &
  local holder=$!
  xsession_wait_for 5 "the lock on $locked" is_locked "$locked" || return
  local path box ok=0
  for path in "$work/missing.ins" "$locked"; do
    ok=1
    start "$path"
    box=$(xsession_wait_window veltrane 15) || fail "no message for $path" || break
    xsession_focus "$box" || break
    xdotool key Return
    xsession_wait_gone veltrane || fail "message stayed" || break
    main_window || break
    click_check
    xsession_stays_away "Select Protfile" || fail "Check is enabled after $path" || break
    focus_main || break
    xdotool key Escape
    expect_exit || break
    ok=0
  done
  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null
  return "$ok"
}

is_locked() {
  ! flock -n "$1" true
}

on_test_failed() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  app_pid=""
  grep -v -e dconf -e '^$' "$work/veltrane.log" | tail -5
}

xsession_start || exit 1
xsession_run_tests test_start_without_file test_enter_ends_program \
  test_check_writes_protocol_and_overwrites test_info_box \
  test_unusable_file_on_command_line
