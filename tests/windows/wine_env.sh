# Sourced by the Windows end-to-end tests: a Wine prefix of the test's own,
# made quietly, that leaves nothing on the user's desktop.

# Makes a fresh Wine prefix in $1 (removing what an earlier run left there)
# and points wine at it; $1-home stands in for the home folder, so that the
# prefix's "Documents" and the like land beside it.
wine_prefix() {
  local prefix=$1
  wineserver_stop_if_running "$prefix"
  rm -rf "$prefix" "$prefix-home"
  mkdir -p "$prefix-home"
  export WINEPREFIX=$prefix HOME=$prefix-home WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko installers asking questions, and no menu entries or
  # file types copied onto the host's desktop.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wineboot -i >/dev/null 2>&1 || return 1
  wineserver -w
}

# Ends every Windows process of the prefix $1 (default: the current one).
wineserver_stop_if_running() {
  if [ -d "${1:-${WINEPREFIX:-}}" ]; then
    WINEPREFIX=${1:-$WINEPREFIX} wineserver -k 2>/dev/null || true
  fi
}

# Prints the data of value $2 of registry key $1 ("" for the key's default
# value). Returns non-zero when the key or the value does not exist.
reg_get() {
  local key=$1 name=$2 out
  if [ -z "$name" ]; then
    out=$(wine reg query "$key" /ve 2>/dev/null) || return 1
  else
    out=$(wine reg query "$key" /v "$name" 2>/dev/null) || return 1
  fi
  out=$(printf '%s\n' "$out" | tr -d '\r' | grep -m1 '^    .*    REG_') || return 1
  out=$(printf '%s\n' "$out" | sed 's/^    .*    REG_[A-Z_]*    \{0,1\}//')
  # An unset default value is listed, with this text for its data.
  [ -z "$name" ] && [ "$out" = "(value not set)" ] && return 1
  printf '%s\n' "$out"
}
