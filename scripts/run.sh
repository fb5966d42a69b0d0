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
# The window's first start, with no region chosen, searches "Ken_all.csv" in
# its working folder: started in the program folder, it finds the nationwide
# dictionary there under that name.
# A file of that name that is not our link is left as it is.
if [ -L build/bin/Ken_all.csv ] || [ ! -e build/bin/Ken_all.csv ]; then
  ln -sfn Jisho/Zenkoku.csv build/bin/Ken_all.csv
fi
cd build/bin
exec ./tenmari
