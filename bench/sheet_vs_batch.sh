#!/usr/bin/env bash
# Whole-process speed of tenmari-lookup sheet on Japan Post's nationwide file:
# a sheet of 100,000 rows, its addresses among five other columns (a quoted
# name with a comma, a telephone number, a note with doubled quotes and a line
# break, an empty cell, a date), side by side with `batch address` on the same
# addresses alone, one per line. Both as UTF-8 with its mark and as code page
# 932, the output written to a file (the sheet) or a pipe (the batch).
#   TENMARI_KEN_ALL=/path/to/ken_all.zip bash bench/sheet_vs_batch.sh [RUNS]
# Nothing taken from the file is kept: the sheets live in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src=${TENMARI_KEN_ALL:-}
runs=${1:-10}
if [ -z "$src" ] || [ ! -f "$src" ]; then
  echo "TENMARI_KEN_ALL is not set to Japan Post's ken_all.zip or KEN_ALL.CSV: nothing to measure."
  exit 0
fi
build=${TENMARI_BENCH_BUILD:-build}
cmake --build "$build" --target tenmari-lookup >/dev/null
lookup=$(pwd)/$build/bin/tenmari-lookup

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
# Address text cut before its first "（", and a block number written as people
# write it; the records of the rest of a municipality give the municipality.
awk -F, '{ t = $9; sub(/（.*/, "", t); if ($9 == "以下に掲載がない場合") t = ""; print $7 $8 t "1-9-1" }' \
  utf8.csv | shuf -r -n 100000 --random-source=<(fixed_stream) > addresses.txt
awk '{ printf "%d,\"顧客 %d, 様\",%s,03-1234-%04d,\"メモ \"\"%d\"\"\r\n二行目\",,2026/12/%02d\r\n", NR, NR, $0, NR % 10000, NR, NR % 28 + 1 }' \
  addresses.txt > rows.csv
{ printf '\xEF\xBB\xBF番号,お名前,住所,電話,メモ,空,日付\r\n'; cat rows.csv; } > sheet-utf8.csv
{ printf '番号,お名前,住所,電話,メモ,空,日付\r\n'; cat rows.csv; } | iconv -f UTF-8 -t CP932 > sheet-sjis.csv
iconv -f UTF-8 -t CP932 addresses.txt > /dev/null  # every address has a code page 932 form

echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores (a virtual machine)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "sheets: $(wc -c < sheet-utf8.csv) bytes (UTF-8), $(wc -c < sheet-sjis.csv) bytes (code page 932), 100,000 rows of 7 columns"
"$lookup" --dict KEN_ALL.CSV sheet --output out.csv --force sheet-utf8.csv || true
for enc in utf8 sjis; do
  echo "== sheet ($enc) vs batch address on the same addresses alone"
  farm-bench -n "$runs" --timeout 900 --vs "$lookup --dict KEN_ALL.CSV batch address addresses.txt" -- \
    "$lookup" --dict KEN_ALL.CSV sheet --output "out-$enc.csv" --force "sheet-$enc.csv"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
