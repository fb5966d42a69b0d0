#!/usr/bin/env bash
# Installs what is missing, builds, prepares the dictionaries and starts Tenmari.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/prepare-jisho.sh build/tools
# Until the window exists, show a lookup from the command line.
echo "The window is not built yet; a lookup from the command line instead:"
echo "\$ tenmari-lookup code 100-0001"
build/tools/tenmari-lookup code 100-0001
