# Sourced by the other scripts: the Debian packages that building, testing
# and using Veltrane need, and a function that installs the missing ones.

VELTRANE_PACKAGES=(
  # build
  g++ cmake make pkg-config libwxgtk3.2-dev nlohmann-json3-dev libtomlplusplus-dev
  # tests
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3
  # the SARIF multitool (a .NET program) needs ICU
  libicu72
  xvfb xauth xdotool openbox imagemagick xdg-utils x11-utils desktop-file-utils
  clang libclang-rt-14-dev
  # packaging: cpack's Debian generator reads shared-library dependencies
  # with dpkg-shlibdeps
  dpkg-dev
  # measurements
  hyperfine time
  # the real-editor tests of the language server and of editors/
  neovim emacs-nox elpa-eglot libkf5syntaxhighlighting-tools
  # the portable programs: static C and C++ libraries
  libc6-dev libstdc++-12-dev
  # --diff is compared with diff -u and applied with patch; a read-only
  # folder is tried as another user (setpriv) when the tests run as root
  diffutils patch util-linux
  # the engine for the web page (build-web/), its tests under node, and
  # the page's archive
  emscripten zip
)

# The Windows build (scripts/build-windows): the cross compiler, Wine to run
# its tests, NSIS for the installer, and the tools the Wine tests drive the
# dialog with.
VELTRANE_WINDOWS_PACKAGES=(
  cmake make python3 googletest nlohmann-json3-dev libtomlplusplus-dev
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

# Node.js and npm from Debian, unless a node with its npm is there already
# (a node from elsewhere brings its own npm, which Debian's would conflict with).
veltrane_install_node() {
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    veltrane_install_missing nodejs npm
  fi
}

# The engine for the web page: emscripten's build of the engine and its
# binding into build-web/web/veltrane-engine.js, small and on one thread.
# Emscripten's JavaScript optimizer finds node's acorn only through
# NODE_PATH; ccache, when there, serves the compiler as for the other builds.
veltrane_build_web_engine() {
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  local node_path="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  NODE_PATH="$node_path" emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release \
    "${launcher[@]}" >/dev/null
  NODE_PATH="$node_path" cmake --build build-web -j"$(nproc)" --target veltrane-engine
}

# Microsoft's SARIF multitool, which the tests validate SARIF logs with,
# from the npm registry into build-tools/ (git ignores build*). Installs
# Node.js and npm from Debian first when there is no npm. Sets
# VELTRANE_SARIF_MULTITOOL to the program's path.
VELTRANE_SARIF_MULTITOOL_VERSION=5.7.0
veltrane_install_sarif_multitool() {
  local prefix="$PWD/build-tools/sarif-multitool"
  VELTRANE_SARIF_MULTITOOL="$prefix/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool"
  if [ ! -f "$VELTRANE_SARIF_MULTITOOL" ]; then
    veltrane_install_node
    echo "Installing @microsoft/sarif-multitool@$VELTRANE_SARIF_MULTITOOL_VERSION into $prefix"
    npm install --prefix "$prefix" --no-audit --no-fund --loglevel=error \
      "@microsoft/sarif-multitool@$VELTRANE_SARIF_MULTITOOL_VERSION"
  fi
  # npm may leave install scripts unrun, and the package's only one makes
  # the program executable.
  chmod u+x "$VELTRANE_SARIF_MULTITOOL"
}

# The VS Code extension's npm packages (the language client, TypeScript,
# esbuild, vsce, the grammar test tools) at the exact versions of
# editors/vscode/package-lock.json, into editors/vscode/node_modules (git
# ignores it), with Node.js and npm first. `npm ci` runs again only when the
# lock file changed. No install scripts run: none of the packages needs one
# for what the project does with it.
veltrane_install_vscode_packages() {
  veltrane_install_node
  veltrane_npm_ci "$PWD/editors/vscode" "the VS Code extension's npm packages"
}

# `npm ci` in DIR unless DIR/node_modules holds a copy of the lock file it
# was installed from; WHAT names the packages in the message.
veltrane_npm_ci() {
  local dir="$1" what="$2"
  if ! cmp -s "$dir/package-lock.json" "$dir/node_modules/.veltrane-package-lock.json"; then
    echo "Installing $what into $dir/node_modules"
    (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    cp "$dir/package-lock.json" "$dir/node_modules/.veltrane-package-lock.json"
  fi
}

# The page's npm packages (CodeMirror, esbuild, puppeteer-core) at the exact
# versions of web/package-lock.json, into web/node_modules (git ignores it),
# and Chromium, which the page's tests and `scripts/bench --web` drive. As
# for the extension, `npm ci` runs again only when the lock file changed and
# no install scripts run.
veltrane_install_web_packages() {
  veltrane_install_node
  veltrane_install_missing chromium
  veltrane_npm_ci "$PWD/web" "the page's npm packages"
}

# Builds the page into OUT (build/web) with the engine of the emscripten
# build (build-web/web/veltrane-engine.js). Without that engine it says so
# and builds nothing, so that the rest of a set-up goes on.
veltrane_build_web_page() {
  local engine="${2:-build-web/web/veltrane-engine.js}"
  if [ ! -f "$engine" ]; then
    echo "The page is not built: the engine $engine is missing (the emscripten build)" >&2
    return 0
  fi
  node web/build.mjs --engine "$engine" --out "${1:-build/web}"
}
