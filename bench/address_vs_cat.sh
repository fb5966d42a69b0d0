#!/usr/bin/env bash
# Addresses as people write them: the score by form (tenmari-bench-address,
# which makes the set from the nationwide file at run time), then the whole
# process side by side with `cat`: batch address of 100,000 written addresses
# against cat of dictionary + input, and match of one address against cat of
# the dictionary.
#   TENMARI_KEN_ALL=/path/to/ken_all.zip bash bench/address_vs_cat.sh [RUNS]
# Nothing taken from the file is kept: the set lives in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src=${TENMARI_KEN_ALL:-}
runs=${1:-5}
if [ -z "$src" ] || [ ! -f "$src" ]; then
  echo "TENMARI_KEN_ALL is not set to Japan Post's ken_all.zip or KEN_ALL.CSV: nothing to measure."
  exit 0
fi
cmake --build build --target tenmari-lookup tenmari-bench-address >/dev/null
lookup=$(pwd)/build/bin/tenmari-lookup
bench=$(pwd)/build/bench/tenmari-bench-address

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$src" in
  *.zip|*.ZIP) unzip -p "$src" KEN_ALL.CSV > "$work/KEN_ALL.CSV" ;;
  *) cp "$src" "$work/KEN_ALL.CSV" ;;
esac
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores (virtual machine)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== score by form (1,000 a form)"
TENMARI_KEN_ALL="$work/KEN_ALL.CSV" TENMARI_WRITTEN="$work/set.tsv" "$bench"
# About 100,000 addresses for the speed runs: 7,000 of each form.
TENMARI_KEN_ALL="$work/KEN_ALL.CSV" TENMARI_WRITTEN="$work/set-100k.tsv" TENMARI_WRITTEN_PER_FORM=7000 "$bench" >/dev/null
cut -f2 "$work/set-100k.tsv" | head -100000 > "$work/addresses.txt"
echo "$(wc -l < "$work/addresses.txt") written addresses"
cd "$work"
echo "== batch address, written addresses, vs cat of dictionary + input"
farm-bench -n "$runs" --timeout 900 --vs "cat KEN_ALL.CSV addresses.txt" -- "$lookup" --dict KEN_ALL.CSV batch address addresses.txt
echo "== match of one address, vs cat of the dictionary"
farm-bench -n "$((runs * 4))" --timeout 300 --vs "cat KEN_ALL.CSV" -- "$lookup" --dict KEN_ALL.CSV match "札幌市中央区大通西22丁目"
