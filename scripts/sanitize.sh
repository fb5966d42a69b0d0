#!/usr/bin/env bash
# Builds the whole tree a second time into build-asan/ with clang,
# AddressSanitizer (leak checking on) and UndefinedBehaviorSanitizer, the
# fuzz harnesses included, and runs every test there headless.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=scripts/sanitizer-env.sh
source scripts/sanitizer-env.sh

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTENMARI_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
# The tests' own discovery runs the test programs at build time, under the sanitizers too.
cmake --build build-asan --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd build-asan && ctest --output-on-failure --parallel "$(nproc)"
echo "Sanitizer build: every test passed under AddressSanitizer and UndefinedBehaviorSanitizer ($root/build-asan)."
