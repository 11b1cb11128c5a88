#!/usr/bin/env bash
# Usage: package_test.sh CPACK BUILD_DIR SOURCE_DIR HAVE_DIALOG(0|1) BUILT_CHECKER
#
# Builds the .deb with CPack into a scratch folder (the build folder is only
# read), unpacks it with dpkg-deb -x, and checks its control fields, its
# exact file list, the installed veltrane-check, the desktop entry, the MIME
# type, the icons and the manual pages. Prints one line per check and exits
# non-zero when any fails.
set -uo pipefail

cpack=$1 build=$2 source=$3 have_dialog=$4 built_checker=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" \
    >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
deb=$scratch/out/veltrane_1.0.0_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls -l "$scratch/out"; echo "FAIL: no $deb"; exit 1; }
pass "cpack built $(basename "$deb")"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
check "Package is veltrane" [ "$(field Package)" = veltrane ]
check "Version is 1.0.0" [ "$(field Version)" = 1.0.0 ]
check "Maintainer is set" [ -n "$(field Maintainer)" ]
check "Description is set" [ -n "$(field Description)" ]
depends=$(field Depends)
echo "   Depends: $depends"
# The package names of the Depends field, one a line, without versions.
depends_names() { sed 's/ *([^)]*)//g; s/ *, */\n/g' <<<"$depends"; }
for dep in xdg-utils libc6 libstdc++6; do
  check "Depends names $dep" grep -qxF "$dep" <(depends_names)
done
if [ "$have_dialog" = 1 ]; then
  check "Depends names the wx GTK library" grep -qx 'libwxgtk3\.2-[0-9]*' <(depends_names)
fi

# The exact file list: nothing missing, nothing stray (headers, static
# libraries, test programs).
root=$scratch/root
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/veltrane-check
  usr/bin/veltrane-lsp
  usr/share/man/man1/veltrane-check.1.gz
  usr/share/man/man1/veltrane-lsp.1.gz
  usr/share/mime/packages/veltrane.xml
  etc/emacs/site-start.d/50veltrane.el
  usr/share/emacs/site-lisp/veltrane/ins-mode.el
  usr/share/org.kde.syntax-highlighting/syntax/ins.xml
  usr/share/veltrane/kate/lspclient-settings.json
  usr/share/nvim/site/lua/veltrane.lua
  usr/share/doc/veltrane/README.md
)
# The docs pages, as the checkout has them.
while read -r page; do
  expected+=("usr/share/doc/veltrane/$page")
done < <(cd "$source" && find docs -type f)
for dir in usr/share/nvim/site usr/share/vim/vimfiles; do
  for kind in ftdetect ftplugin syntax; do expected+=("$dir/$kind/ins.vim"); done
done
if [ "$have_dialog" = 1 ]; then
  expected+=(
    usr/bin/veltrane
    usr/share/applications/veltrane.desktop
    usr/share/man/man1/veltrane.1.gz
  )
  for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/veltrane.png")
  done
fi
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected.txt"
(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) >"$scratch/actual.txt"
if diff -u "$scratch/expected.txt" "$scratch/actual.txt"; then
  pass "file list ($(wc -l <"$scratch/actual.txt") files)"
else
  fail "file list differs from the expected one (- expected, + in the package)"
fi
for exe in veltrane-check veltrane-lsp veltrane; do
  [ -e "$root/usr/bin/$exe" ] || continue
  check "usr/bin/$exe is executable" [ -x "$root/usr/bin/$exe" ]
  check "usr/bin/$exe finds all its libraries" \
    bash -c '! ldd "$1" | grep -q "not found"' _ "$root/usr/bin/$exe"
done

# The installed checker gives what the built one gives, in both formats.
# It works on a copy so that no other test holds the example's lock.
cp "$source/examples/studio_rack.ins" "$source/examples/clean_module.ins" "$scratch/"
installed=$root/usr/bin/veltrane-check
check "installed veltrane-check --version" \
  [ "$("$installed" --version)" = "veltrane-check 1.0.0" ]
for args in "studio_rack.ins" "--format=gnu studio_rack.ins clean_module.ins"; do
  for which in installed built; do
    exe=$installed
    [ "$which" = built ] && exe=$built_checker
    # shellcheck disable=SC2086
    (cd "$scratch" && "$exe" $args >"$which.out" 2>&1; echo "$?" >"$which.status")
  done
  check "installed veltrane-check $args: same output as the built one" \
    cmp -s "$scratch/installed.out" "$scratch/built.out"
  check "installed veltrane-check $args: exit status 1" \
    [ "$(cat "$scratch/installed.status")" = 1 -a "$(cat "$scratch/built.status")" = 1 ]
done
check "installed veltrane-check --format=gnu names the missing label" \
  grep -qx 'studio_rack.ins:88:10: error: Label "Electro Kit Notes" not found \[VLT1003\]' \
  "$scratch/installed.out"

# The installed language server answers an editor: initialize, shutdown,
# exit, with status 0.
lsp=$root/usr/bin/veltrane-lsp
check "installed veltrane-lsp --version" [ "$("$lsp" --version)" = "veltrane-lsp 1.0.0" ]
lsp_session() {
  local body
  for body in '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}}' \
              '{"jsonrpc":"2.0","id":2,"method":"shutdown"}' '{"jsonrpc":"2.0","method":"exit"}'; do
    printf 'Content-Length: %d\r\n\r\n%s' "${#body}" "$body"
  done
}
lsp_session | "$lsp" >"$scratch/lsp.out" 2>"$scratch/lsp.err"
check "installed veltrane-lsp ends a session with status 0" [ "$?" = 0 ]
check "installed veltrane-lsp answers initialize" grep -q '"name":"veltrane-lsp"' "$scratch/lsp.out"

# The editors find their files where the package puts them, and tell
# instrument definition files from TeX installers by content.
printf '\\input docstrip\n\\endbatchfile\n' >"$scratch/installer.ins"
if command -v nvim >/dev/null; then
  for file in studio_rack.ins:ins installer.ins:tex; do
    got=$(cd "$scratch" && nvim --headless --clean -n -i NONE \
          --cmd "set runtimepath^=$root/usr/share/nvim/site" "${file%%:*}" \
          -c 'lua io.stdout:write(vim.bo.filetype)' -c 'qall!' 2>/dev/null)
    check "Neovim gives ${file%%:*} the file type ${file#*:} (got $got)" [ "$got" = "${file#*:}" ]
  done
fi
if command -v emacs >/dev/null; then
  # The start-up file as Emacs runs it, pointed at the unpacked tree.
  sed "s|\"/usr/share/emacs|\"$root/usr/share/emacs|" "$root/etc/emacs/site-start.d/50veltrane.el" \
    >"$scratch/50veltrane.el"
  for file in studio_rack.ins:ins-mode installer.ins:tex-mode; do
    got=$(cd "$scratch" && emacs --batch -Q -l "$scratch/50veltrane.el" "${file%%:*}" \
          --eval '(princ (if (derived-mode-p (quote tex-mode)) "tex-mode" major-mode))' 2>/dev/null)
    check "Emacs opens ${file%%:*} in ${file#*:} (got $got)" [ "$got" = "${file#*:}" ]
  done
fi

# The MIME type the desktop entry opens is the one the package defines, and
# the MIME database accepts the definition.
mime_type=text/x-instrument-definition
mime=$scratch/share/mime
mkdir -p "$mime/packages"
cp "$root/usr/share/mime/packages/veltrane.xml" "$mime/packages/"
if XDG_DATA_HOME=$scratch/share update-mime-database "$mime" >"$scratch/mime.log" 2>&1 &&
    ! [ -s "$scratch/mime.log" ]; then
  pass "update-mime-database accepts veltrane.xml"
else
  cat "$scratch/mime.log"; fail "update-mime-database accepts veltrane.xml"
fi
check "the MIME database maps *.ins to $mime_type" \
  grep -q ":$mime_type:\*\.ins" "$mime/globs2"
check "$mime_type is a kind of text/plain" \
  grep -qx "$mime_type text/plain" "$mime/subclasses"

# TeX installation files are *.ins too. Next to the system's own types, the
# content decides: instrument definitions are ours, TeX files stay TeX.
system_types=/usr/share/mime/packages/freedesktop.org.xml
if command -v gio >/dev/null && [ -f "$system_types" ]; then
  cp "$system_types" "$mime/packages/"
  XDG_DATA_HOME=$scratch/share update-mime-database "$mime"
  printf '%%%% docstrip installation file\n\\input docstrip\n' >"$scratch/docstrip.ins"
  for file in studio_rack.ins:$mime_type clean_module.ins:$mime_type docstrip.ins:text/x-tex; do
    got=$(XDG_DATA_DIRS=$scratch/share XDG_DATA_HOME=$scratch/no-home \
          gio info -a standard::content-type "$scratch/${file%%:*}" |
          sed -n 's/^ *standard::content-type: //p')
    check "${file%%:*} is seen as ${file#*:} (got $got)" [ "$got" = "${file#*:}" ]
  done
fi

if [ "$have_dialog" = 1 ]; then
  desktop=$root/usr/share/applications/veltrane.desktop
  if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate veltrane.desktop"
  else
    echo "$out"; fail "desktop-file-validate veltrane.desktop"
  fi
  check "desktop entry starts veltrane with the file" grep -qx 'Exec=veltrane %f' "$desktop"
  check "desktop entry opens $mime_type" grep -qx "MimeType=$mime_type;" "$desktop"
  check "desktop entry icon is veltrane" grep -qx 'Icon=veltrane' "$desktop"

  # Each icon is a PNG of the size its folder promises.
  for size in 16 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/veltrane.png
    [ -f "$png" ] || continue
    read -r magic <<<"$(od -An -tx1 -N8 "$png" | tr -d ' \n')"
    read -r w h <<<"$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')"
    check "icon ${size}x${size} is a ${size}x${size} PNG (got ${w}x${h})" \
      [ "$magic" = 89504e470d0a1a0a -a "$w" = "$size" -a "$h" = "$size" ]
  done
fi

# The manual pages format without warnings.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  if command -v groff >/dev/null; then
    warnings=$(zcat "$page" | groff -man -ww -z -Tutf8 2>&1)
    check "$name(1) formats without warnings${warnings:+: $warnings}" [ -z "$warnings" ]
  fi
  check "$name(1) has a NAME line for $name" \
    bash -c 'zcat "$1" | grep -q "^$2 \\\\- "' _ "$page" "${name//-/\\\\-}"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
