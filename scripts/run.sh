#!/usr/bin/env bash
# Installs what is missing, builds the window, the command-line tools and the
# help pictures (not the tests), prepares the dictionaries and starts Tenmari.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
TENMARI_BUILD_PRESET=run bash scripts/build.sh  # only what is started below
bash scripts/prepare-jisho.sh build/bin
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "The window needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); a lookup from the command line instead:"
  echo "\$ tenmari-lookup code 100-0001"
  exec build/bin/tenmari-lookup code 100-0001
fi
exec build/bin/tenmari
