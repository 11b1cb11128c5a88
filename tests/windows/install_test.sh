#!/usr/bin/env bash
# The installer, silent, into a scratch Wine prefix and out again: files,
# Start menu entry and registry entries, and an uninstall that takes all of
# it away but leaves what belongs to others.
# Usage: install_test.sh BUILD_DIR   (with BUILD_DIR/veltrane-VERSION-setup.exe)
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
setup=$(ls "$build"/veltrane-*-setup.exe 2>/dev/null | head -1)
version=${setup##*/veltrane-}
version=${version%-setup.exe}
[ -f "$setup" ] || { echo "FAIL: no installer in $build"; exit 1; }

run_job=$build/wine-tests/run_job.exe
mkdir -p "$build/wine-tests"
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -o "$run_job" "$here/run_job.c" || exit 1
trap wine_server_stop EXIT
wine_prefix "$build/wine-tests/install" || { echo "FAIL: no Wine prefix"; exit 1; }

drive_c=$WINEPREFIX/drive_c
instdir="$drive_c/Program Files/Veltrane"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Veltrane.lnk"
classes='HKLM\Software\Classes'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane'
win_instdir='C:\Program Files\Veltrane'

failed=0
fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}

# Registry values an install writes: key, value name ("" for the default),
# data.
installed_values=(
  "$uninstall_key|DisplayName|Veltrane"
  "$uninstall_key|DisplayVersion|$version"
  "$uninstall_key|Publisher|Veltrane developers"
  "$uninstall_key|UninstallString|\"$win_instdir\\uninstall.exe\""
  "$uninstall_key|QuietUninstallString|\"$win_instdir\\uninstall.exe\" /S"
  "$uninstall_key|InstallLocation|$win_instdir"
  "$uninstall_key|DisplayIcon|$win_instdir\\veltrane.exe,0"
  "$classes\\.ins\\OpenWithProgids|Veltrane.ins|"
  "$classes\\Veltrane.ins\\shell\\open\\command||\"$win_instdir\\veltrane.exe\" \"%1\""
  "$classes\\Applications\\veltrane.exe\\SupportedTypes|.ins|"
  "$classes\\Applications\\veltrane.exe\\shell\\open\\command||\"$win_instdir\\veltrane.exe\" \"%1\""
)
# Keys that only the install creates and the uninstall removes.
own_keys=("$uninstall_key" "$classes\\Veltrane.ins" "$classes\\Applications\\veltrane.exe")

check_installed() {
  local row key name want got file
  for file in veltrane.exe veltrane-check.exe veltrane-lsp.exe; do
    cmp -s "$instdir/$file" "$build/bin/$file" || fail "$file not installed as built"
  done
  [ -f "$instdir/README.txt" ] || fail "README.txt not installed"
  [ -f "$instdir/docs/rules/VLT1001.md" ] || fail "the docs pages are not installed"
  [ -f "$instdir/uninstall.exe" ] || fail "no uninstaller"
  [ -f "$shortcut" ] || fail "no Start menu entry"
  # The shortcut holds its target's full path as ANSI text.
  strings -a "$shortcut" 2>/dev/null | grep -qxF "$win_instdir\veltrane.exe" ||
    fail "the Start menu entry does not start veltrane.exe"
  for row in "${installed_values[@]}"; do
    IFS='|' read -r key name want <<<"$row"
    got=$(reg_get "$key" "$name") || { fail "$key: no value '$name'"; continue; }
    [ "$got" = "$want" ] || fail "$key '$name' is '$got', expected '$want'"
  done
}

check_uninstalled() {
  local key
  [ ! -e "$instdir/veltrane.exe" ] && [ ! -e "$instdir/veltrane-check.exe" ] &&
    [ ! -e "$instdir/veltrane-lsp.exe" ] && [ ! -e "$instdir/README.txt" ] &&
    [ ! -e "$instdir/docs" ] &&
    [ ! -e "$instdir/uninstall.exe" ] ||
    fail "files left in Program Files\\Veltrane: $(ls "$instdir" 2>/dev/null | tr '\n' ' ')"
  [ ! -e "$shortcut" ] || fail "Start menu entry left"
  for key in "${own_keys[@]}"; do
    wine reg query "$key" >/dev/null 2>&1 && fail "registry key $key left"
  done
  reg_get "$classes\\.ins\\OpenWithProgids" Veltrane.ins >/dev/null &&
    fail "Veltrane.ins left under Open with"
}

# Runs the installer or the uninstaller silently and waits up to two
# minutes for all it started: the uninstaller copies itself to the
# temporary folder and goes on from there after the first process ends.
run_silent() {
  wine "$run_job" 120 "$@" /S
}

uninstall() {
  local quiet
  quiet=$(reg_get "$uninstall_key" QuietUninstallString) || { fail "no QuietUninstallString"; return; }
  [ "$quiet" = "\"$win_instdir\\uninstall.exe\" /S" ] || return
  run_silent "$win_instdir\\uninstall.exe" || fail "uninstaller exit status $?"
}

echo "== install and uninstall on a clean system"
# Wine's drive Z: is the root folder. Spelt here rather than asked of
# winepath, which, itself a Wine program, now and then prints an error
# message in place of the path on a loaded machine.
win_setup="Z:${setup//\//\\}"
run_silent "$win_setup" || fail "installer exit status $?"
check_installed
# The install does not make Veltrane the default program of .ins files.
reg_get "$classes\\.ins" "" >/dev/null && fail ".ins got a default program"
uninstall
check_uninstalled
wine reg query "$classes\\.ins" >/dev/null 2>&1 && fail "an empty .ins key was left"
[ ! -d "$instdir" ] || fail "Program Files\\Veltrane left"

echo "== install and uninstall beside another program that opens .ins files"
wine reg add "$classes\\.ins" /ve /d Other.ins /f >/dev/null
wine reg add "$classes\\.ins\\OpenWithProgids" /v Other.ins /t REG_SZ /d "" /f >/dev/null
run_silent "$win_setup" || fail "installer exit status $?"
check_installed
[ "$(reg_get "$classes\\.ins" "")" = Other.ins ] || fail "the install took over .ins"
# A protocol the user saved into the program's folder outlives the program.
printf 'Veltrane Protocol\r\n' >"$instdir/mine.txt"
uninstall
check_uninstalled
[ "$(reg_get "$classes\\.ins" "")" = Other.ins ] || fail "the uninstall removed the default program of .ins"
reg_get "$classes\\.ins\\OpenWithProgids" Other.ins >/dev/null ||
  fail "the uninstall removed another program from Open with"
[ -f "$instdir/mine.txt" ] || fail "the uninstall removed a file of the user's"

if [ "$failed" -eq 0 ]; then
  echo "install test passed"
else
  echo "install test: $failed failed"
fi
[ "$failed" -eq 0 ]
