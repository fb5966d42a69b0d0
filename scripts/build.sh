#!/usr/bin/env bash
# Configures and builds into build/ (release with debug information), with the
# preset "default". Extra arguments go to the configure step, e.g.
# -DTENMARI_WERROR=ON (scripts/test.sh). TENMARI_BUILD_PRESET=run builds only
# what scripts/run.sh starts.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default "$@" >/dev/null
cmake --build --preset "${TENMARI_BUILD_PRESET:-default}" --parallel "$(nproc)"
