# Sourced by the dialog's end-to-end tests and the screenshot script: a
# private X display (Xvfb on a free display number, with openbox for focus)
# and helpers that wait for windows. Everything it starts it stops in
# xsession_stop; every wait has a time limit.

XSESSION_PIDS=()

# Starts Xvfb and openbox and exports DISPLAY. Returns non-zero on failure.
xsession_start() {
  local fifo dir
  dir=$(mktemp -d)
  fifo="$dir/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" \
    >/dev/null 2>&1 &
  XSESSION_PIDS+=($!)
  local number=""
  read -r -t 20 number <"$fifo" || true
  rm -rf "$dir"
  if [ -z "$number" ]; then
    echo "xsession: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
  openbox >/dev/null 2>&1 &
  XSESSION_PIDS+=($!)
  # openbox is ready when it has claimed the window manager selection.
  xsession_poll 10 xsession_has_window_manager && return 0
  echo "xsession: openbox did not start" >&2
  return 1
}

xsession_has_window_manager() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

xsession_stop() {
  local pid
  for pid in "${XSESSION_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${XSESSION_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  XSESSION_PIDS=()
}

# Prints the ids of the visible windows titled exactly $1, case and all
# (xdotool's own search ignores case).
xsession_find() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
  return 0
}

# Runs the command $2... until it succeeds, every tenth of a second for at
# most $1 whole seconds. Returns non-zero when the time runs out.
xsession_poll() {
  local deadline=$((SECONDS + $1 + 1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Waits up to $1 seconds for the command $3... to succeed; when it does
# not, prints a FAIL line saying what was waited for ($2) and returns
# non-zero.
xsession_wait_for() {
  local limit=$1 what=$2
  shift 2
  xsession_poll "$limit" "$@" && return 0
  echo "FAIL: waited $limit s for $what"
  return 1
}

# Prints the id of the first visible window titled exactly $1, waiting up
# to ${2:-10} seconds. Returns non-zero when none appears.
xsession_wait_window() {
  xsession_poll "${2:-10}" xsession_print_first "$1"
}

xsession_print_first() {
  local id
  id=$(xsession_find "$1" | head -1)
  [ -n "$id" ] && echo "$id"
}

# Waits up to ${2:-10} seconds until no visible window is titled exactly $1.
xsession_wait_gone() {
  xsession_poll "${2:-10}" xsession_none "$1"
}

xsession_none() {
  [ -z "$(xsession_find "$1")" ]
}

# Waits up to 15 seconds for the process $1, started by this shell, to end.
# Returns non-zero, with a FAIL line, unless it exits with status 0 (a
# process that does not end is left running for the caller to stop).
xsession_expect_exit() {
  local status
  xsession_wait_for 15 "the program to end" xsession_ended "$1" || return 1
  wait "$1"
  status=$?
  [ "$status" -eq 0 ] && return 0
  echo "FAIL: exit status $status"
  return 1
}

xsession_ended() {
  ! kill -0 "$1" 2>/dev/null
}

# Gives the window $1 the keyboard: activates it and waits until it holds
# the input focus. The window manager marks a window active before the
# program has taken the focus, and keys or clicks sent in between can go
# astray. An activation asked for while another window was closing can be
# lost, so it is asked for again after two seconds, three times at most.
xsession_focus() {
  local _
  for _ in 1 2 3; do
    xdotool windowactivate "$1" 2>/dev/null
    xsession_poll 2 xsession_has_focus "$1" && return 0
  done
  echo "FAIL: window $1 did not get the keyboard focus"
  return 1
}

xsession_has_focus() {
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# Waits up to ${1:-5} seconds until two pictures of the screen taken one
# after the other are the same, so that a screenshot shows the windows
# painted. Returns non-zero when the screen kept changing.
xsession_settled() {
  XSESSION_SCREEN=""
  xsession_poll "${1:-5}" xsession_screen_unchanged
}

xsession_screen_unchanged() {
  local now
  now=$(import -window root rgb:- 2>/dev/null | md5sum)
  [ "$now" = "$XSESSION_SCREEN" ] && return 0
  XSESSION_SCREEN=$now
  return 1
}

# True when no window titled $1 shows up within two seconds.
xsession_stays_away() {
  ! xsession_wait_window "$1" 2 >/dev/null
}

# Clicks the centre of a control given in dialog units (x y cx cy) in the
# window $1, whose template is $6 x $7 dialog units: the window's size in
# pixels gives the scale.
xsession_click_du() {
  local window=$1 x=$2 y=$3 cx=$4 cy=$5 w=$6 h=$7 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool mousemove --window "$window" $(((x + cx / 2) * WIDTH / w)) \
    $(((y + cy / 2) * HEIGHT / h)) click 1
}

# Runs the test functions named and counts them; after each one that fails
# it calls on_test_failed with its name (the test script defines it, to
# stop what the test left running). Returns non-zero when any failed.
xsession_run_tests() {
  local t passed=0 failed=0
  for t in "$@"; do
    echo "== $t"
    if "$t"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      on_test_failed "$t"
    fi
  done
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
