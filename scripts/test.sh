#!/usr/bin/env bash
# Installs what is missing, checks the sources' format, builds (warnings as errors), and runs every test
# headless; builds once more in Release; then the
# same tests on a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz harness for a minute.
# TENMARI_SANITIZE=0 runs the plain build's tests only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The sources follow .clang-format.
bash scripts/format.sh --check
bash scripts/build.sh -DTENMARI_WERROR=ON
if [ -z "${TENMARI_KEN_ALL:-}" ]; then
  echo "TENMARI_KEN_ALL is not set: the tests on Japan Post's nationwide file will be skipped."
fi
(export QT_QPA_PLATFORM=offscreen; cd build && ctest --output-on-failure --parallel "$(nproc)")
# Once more in Release (-O3), warnings as errors, the whole tree with its tests
# and benchmarks: a warning that only the optimiser sees fails here rather than
# in a user's build.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
cmake --preset release >/dev/null
cmake --build --preset release --parallel "$(nproc)"
if [ "${TENMARI_SANITIZE:-1}" != 0 ]; then
  bash scripts/sanitize.sh
  bash scripts/fuzz.sh "${TENMARI_FUZZ_SECONDS:-60}"
fi
