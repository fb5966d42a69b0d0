#!/usr/bin/env bash
# Remakes the README screenshots docs/*.png from the real window, offscreen,
# with the project's sample dictionary (the help pictures Image/001.jpg to
# 007.jpg are made by every build into build/bin/Image).
#   scripts/make-pictures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tenmari-window-pictures
help=$(mktemp -d)
trap 'rm -rf "$help"' EXIT
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/tools/tenmari-window-pictures" --help-dir "$help" --docs-dir docs
ls -l docs/*.png
