#!/usr/bin/env bash
# Whole-process speed of tenmari-lookup batch on Japan Post's nationwide file,
# side by side with `cat` of the dictionary and the queries together (the cost
# of reading both once), with 100,000 queries drawn from the file at run time:
# codes of random records, and addresses of random records with a block
# number after them. Then the peak memory of one million code queries.
#   TENMARI_KEN_ALL=/path/to/ken_all.zip bash bench/batch_vs_cat.sh [RUNS]
# Nothing taken from the file is kept: the queries live in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src=${TENMARI_KEN_ALL:-}
runs=${1:-10}
if [ -z "$src" ] || [ ! -f "$src" ]; then
  echo "TENMARI_KEN_ALL is not set to Japan Post's ken_all.zip or KEN_ALL.CSV: nothing to measure."
  exit 0
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tenmari-lookup >/dev/null
lookup=$(pwd)/build/bin/tenmari-lookup

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$src" in
  *.zip|*.ZIP) unzip -p "$src" KEN_ALL.CSV > "$work/KEN_ALL.CSV" ;;
  *) cp "$src" "$work/KEN_ALL.CSV" ;;
esac
cd "$work"
# The same draw at every run: shuf reads its randomness from a fixed stream.
fixed_stream() { openssl enc -aes-256-ctr -pass pass:tenmari -nosalt -pbkdf2 < /dev/zero 2>/dev/null; }
iconv -f CP932 -t UTF-8 KEN_ALL.CSV | tr -d '\r"' > utf8.csv
cut -d, -f3 utf8.csv | shuf -r -n 100000 --random-source=<(fixed_stream) > codes.txt
cut -d, -f3 utf8.csv | shuf -r -n 1000000 --random-source=<(fixed_stream) > codes-1m.txt
# Address text cut before its first "（", and a block number; the records of
# the rest of a municipality give the municipality alone.
awk -F, '{ t = $9; sub(/（.*/, "", t); if ($9 == "以下に掲載がない場合") print $7 $8 "１－９－１"; else print $7 $8 t "１－９－１" }' \
  utf8.csv | shuf -r -n 100000 --random-source=<(fixed_stream) > addresses.txt

echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$(wc -l < KEN_ALL.CSV) lines, $(wc -c < KEN_ALL.CSV) bytes; warm cache; output to a pipe read whole"
echo "distinct queries: $(sort -u codes.txt | wc -l) codes, $(sort -u addresses.txt | wc -l) addresses"
"$lookup" --dict KEN_ALL.CSV batch code codes.txt | cut -f2 | grep -c . | sed 's/^/codes answered: /' || true
"$lookup" --dict KEN_ALL.CSV --strict batch address addresses.txt | cut -f2 | grep -c . | sed 's/^/addresses answered: /' || true
for kind in code address; do
  input=codes.txt
  [ "$kind" = address ] && input=addresses.txt
  echo "== batch $kind, 100,000 queries, vs cat of dictionary + queries"
  strict=()
  [ "$kind" = address ] && strict=(--strict)  # the exact rule; bench/address_vs_cat.sh times the written reading
  farm-bench -n "$runs" --timeout 600 --vs "cat KEN_ALL.CSV $input" -- "$lookup" --dict KEN_ALL.CSV "${strict[@]}" batch "$kind" "$input"
done
echo "== peak memory, batch code with 1,000,000 queries"
/usr/bin/time -v "$lookup" --dict KEN_ALL.CSV batch code codes-1m.txt 2> time.txt > /dev/null || true
grep -E 'Maximum resident|Elapsed' time.txt
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
