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
  local i
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "xsession: openbox did not start" >&2
  return 1
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

# Prints the id of the first visible window titled exactly $1, waiting up
# to ${2:-10} seconds. Returns non-zero when none appears.
xsession_wait_window() {
  local title=$1 limit=${2:-10} id i
  for i in $(seq $((limit * 10))); do
    id=$(xsession_find "$title" | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to ${2:-10} seconds until no visible window is titled exactly $1.
xsession_wait_gone() {
  local title=$1 limit=${2:-10} i
  for i in $(seq $((limit * 10))); do
    [ -z "$(xsession_find "$title")" ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to 15 seconds for the process $1, started by this shell, to end.
# Returns non-zero, with a FAIL line, unless it exits with status 0 (a
# process that does not end is left running for the caller to stop).
xsession_expect_exit() {
  local pid=$1 i status
  for i in $(seq 150); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      [ "$status" -eq 0 ] && return 0
      echo "FAIL: exit status $status"
      return 1
    fi
    sleep 0.1
  done
  echo "FAIL: the program did not end"
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
