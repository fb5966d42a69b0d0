#!/usr/bin/env bash
# Builds the whole tree a second time into build-asan/ with clang,
# AddressSanitizer (leak checking on) and UndefinedBehaviorSanitizer, the
# fuzz harnesses included, and runs every test there headless.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=scripts/sanitizer-env.sh
source scripts/sanitizer-env.sh

cmake --preset sanitizer >/dev/null
# The tests' own discovery runs the test programs at build time, under the sanitizers too.
cmake --build --preset sanitizer --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd build-asan && ctest --output-on-failure --parallel "$(nproc)"
echo "Sanitizer build: every test passed under AddressSanitizer and UndefinedBehaviorSanitizer ($root/build-asan)."
