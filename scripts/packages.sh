# Sourced by the other scripts: the Debian packages that building, testing
# and using Veltrane need, and a function that installs the missing ones.

VELTRANE_PACKAGES=(
  # build
  g++ cmake make pkg-config libwxgtk3.2-dev
  # tests
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3
  xvfb xauth xdotool openbox imagemagick xdg-utils x11-utils desktop-file-utils
  clang libclang-rt-14-dev
  # packaging: cpack's Debian generator reads shared-library dependencies
  # with dpkg-shlibdeps
  dpkg-dev
  # measurements
  hyperfine time
)

# The Windows build (scripts/build-windows): the cross compiler, Wine to run
# its tests, NSIS for the installer, and the tools the Wine tests drive the
# dialog with.
VELTRANE_WINDOWS_PACKAGES=(
  cmake make python3 googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 nsis zip
  xvfb xauth xdotool openbox imagemagick x11-utils
)

# Installs the packages named, or VELTRANE_PACKAGES without arguments,
# skipping those already installed.
veltrane_install_missing() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${VELTRANE_PACKAGES[@]}")
  local missing=()
  local pkg
  for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
