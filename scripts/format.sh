#!/usr/bin/env bash
# Formats the C++ sources by .clang-format; with --check, changes nothing and
# fails naming the files that differ from it.
#   bash scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inl')
if [ "${1:-}" = --check ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
