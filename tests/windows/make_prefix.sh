#!/usr/bin/env bash
# Makes the Wine prefix $1 that a Windows build's unit tests run in, with a
# server of its own from before wineboot until Wine is done with it; ending
# the server writes the prefix's registry files.
# Usage: make_prefix.sh PREFIX   (an absolute path)
set -euo pipefail
source "$(dirname "$0")/wine_env.sh"
trap wine_server_stop EXIT
wine_prefix "$1"
