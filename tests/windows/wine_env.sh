# Sourced by the Windows tests and scripts: Wine prefixes of their own, made
# quietly, that leave nothing on the user's desktop, each with one wineserver
# that stays up from before the first Windows program to the end.
#
# Left to itself, Wine starts a server with the first program and ends it
# three seconds after the last one; a program that connects while it is
# ending fails ("wine client error:0: recvmsg: Connection reset by peer").
# A server started with -p does not end by itself, so every program of a run
# meets the same live server. The shell that starts a server ends it
# (wine_server_stop, also from an EXIT trap); a server that was already
# running belongs to whoever started it and is left alone.

WINE_SERVERS_STARTED=()

# Points wine at the prefix $1; $1-home stands in for the home folder, so
# that the prefix's "Documents" and the like land beside it.
wine_use_prefix() {
  export WINEPREFIX=$1 HOME=$1-home WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko installers asking questions, and no menu entries or
  # file types copied onto the host's desktop.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Makes a fresh Wine prefix in $1 (ending the server of an earlier run and
# removing what it left there), starts its server and points wine at it.
# Returns non-zero on failure.
wine_prefix() {
  local prefix=$1
  wine_server_stop "$prefix"
  wine_server_kill "$prefix"
  rm -rf "$prefix" "$prefix-home"
  mkdir -p "$prefix" "$prefix-home"
  wine_use_prefix "$prefix"
  wine_server_start "$prefix" || return 1
  # The first program: no pipes (see wine_server_start).
  wineboot -i </dev/null >/dev/null 2>&1
}

# Starts a persistent server for the existing folder $1, unless one is
# running already. Returns non-zero when none could be started.
#
# Wine's own background programs (services.exe and the like) start with the
# first Windows program, take over its standard output and error, and stay
# as long as the server. So in a prefix that is made already, a program
# with no pipe attached starts them here; otherwise the first test whose
# output is read through a pipe would never see it end.
wine_server_start() {
  local status=0
  WINEPREFIX=$1 wineserver -p || status=$?
  case $status in
    0) WINE_SERVERS_STARTED+=("$1") ;;
    2) return 0 ;; # a server runs already: its owner ends it
    *)
      echo "wine_env: no wineserver for $1 (status $status)" >&2
      return 1
      ;;
  esac
  if [ -f "$1/system.reg" ]; then
    WINEPREFIX=$1 wine cmd /c exit </dev/null >/dev/null 2>&1
  fi
}

# Ends the servers this shell started for the prefixes given (default: all
# of them), with every Windows program still running in them, and waits
# until each has ended.
wine_server_stop() {
  local prefix kept=()
  [ $# -gt 0 ] || set -- "${WINE_SERVERS_STARTED[@]}"
  for prefix in "${WINE_SERVERS_STARTED[@]}"; do
    if printf '%s\n' "$@" | grep -qxF -- "$prefix"; then
      wine_server_kill "$prefix"
    else
      kept+=("$prefix")
    fi
  done
  WINE_SERVERS_STARTED=("${kept[@]}")
}

# Ends the server of the prefix $1, whoever started it, and waits up to
# 30 seconds until it has ended.
wine_server_kill() {
  [ -d "$1" ] || return 0
  WINEPREFIX=$1 wineserver -k 2>/dev/null
  WINEPREFIX=$1 timeout 30 wineserver -w ||
    echo "wine_env: the wineserver of $1 did not end" >&2
}

# Prints the data of value $2 of registry key $1 ("" for the key's default
# value). Returns non-zero when the key or the value does not exist.
reg_get() {
  local key=$1 name=$2 out line attempt
  local which=(/v "$name")
  [ -z "$name" ] && which=(/ve)
  # A query that found the value but whose output Wine lost on a loaded
  # machine is asked again: only a failed query means the value is absent.
  for attempt in 1 2 3; do
    out=$(wine reg query "$key" "${which[@]}" 2>/dev/null) || return 1
    line=$(printf '%s\n' "$out" | tr -d '\r' | grep -m1 '^    .*    REG_') && break
  done
  [ -n "$line" ] || return 1
  out=$line
  out=$(printf '%s\n' "$out" | sed 's/^    .*    REG_[A-Z_]*    \{0,1\}//')
  # An unset default value is listed, with this text for its data.
  [ -z "$name" ] && [ "$out" = "(value not set)" ] && return 1
  printf '%s\n' "$out"
}
