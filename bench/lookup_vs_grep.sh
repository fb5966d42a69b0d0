#!/usr/bin/env bash
# Whole-process speed of tenmari-lookup against `grep -c -F` for the same
# literal over Japan Post's nationwide file, warm cache, side by side.
#   TENMARI_KEN_ALL=/path/to/ken_all.zip bash bench/lookup_vs_grep.sh
set -euo pipefail
cd "$(dirname "$0")/.."
src=${TENMARI_KEN_ALL:-}
if [ -z "$src" ] || [ ! -f "$src" ]; then
  echo "TENMARI_KEN_ALL is not set to Japan Post's ken_all.zip or KEN_ALL.CSV: nothing to measure."
  exit 0
fi
TENMARI_WITH_BENCH=1 bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target tenmari-lookup >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$src" in
  *.zip|*.ZIP) unzip -p "$src" KEN_ALL.CSV > "$work/KEN_ALL.CSV" ;;
  *) cp "$src" "$work/KEN_ALL.CSV" ;;
esac
# grep gets its literal in code page 932 from a file (hyperfine takes UTF-8 only).
printf '"100' > "$work/prefix.pat"
printf '北海道' | iconv -f UTF-8 -t CP932 > "$work/address.pat"
lookup=$(pwd)/build/bin/tenmari-lookup
cd "$work"

run() {  # name, tenmari command, grep command
  hyperfine -N --warmup 20 --runs 200 --export-json "$1.json" "$2" "$3" >/dev/null
  python3 - "$1" <<'PY'
import json, sys
name = sys.argv[1]
r = json.load(open(name + ".json"))["results"]
t, g = r[0]["mean"] * 1000, r[1]["mean"] * 1000
print(f"{name:8} tenmari-lookup {t:6.2f} ms   grep -c -F {g:6.2f} ms   ratio {t / g:4.2f}")
PY
}
echo "$(wc -l < KEN_ALL.CSV) lines, $(wc -c < KEN_ALL.CSV) bytes; mean of 200 runs each"
run prefix  "$lookup --dict KEN_ALL.CSV prefix 100"    "grep -c -F -f prefix.pat KEN_ALL.CSV"
run address "$lookup --dict KEN_ALL.CSV address 北海道" "grep -c -F -f address.pat KEN_ALL.CSV"
