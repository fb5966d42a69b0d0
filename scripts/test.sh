#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; then the
# same tests on a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz harness for a minute.
# TENMARI_SANITIZE=0 runs the plain build's tests only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -z "${TENMARI_KEN_ALL:-}" ]; then
  echo "TENMARI_KEN_ALL is not set: the tests on Japan Post's nationwide file will be skipped."
fi
(export QT_QPA_PLATFORM=offscreen; cd build && ctest --output-on-failure --parallel "$(nproc)")
if [ "${TENMARI_SANITIZE:-1}" != 0 ]; then
  bash scripts/sanitize.sh
  bash scripts/fuzz.sh "${TENMARI_FUZZ_SECONDS:-60}"
fi
