#!/usr/bin/env bash
# Puts the nationwide dictionary into DIR/Jisho (DIR: where the programs are).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:?usage: prepare-jisho.sh DIR}
src=${TENMARI_KEN_ALL:-}
[ -z "$src" ] && [ -f ken_all.zip ] && src=ken_all.zip
[ -z "$src" ] && [ -f KEN_ALL.CSV ] && src=KEN_ALL.CSV
if [ -z "$src" ]; then
  echo "No dictionary found: set TENMARI_KEN_ALL to Japan Post's ken_all.zip, or put it in $(pwd)." >&2
  exit 2
fi
mkdir -p "$dir/Jisho"
case "$src" in
  *.zip|*.ZIP) unzip -p "$src" KEN_ALL.CSV > "$dir/Jisho/Zenkoku.csv.tmp" ;;
  *) cp "$src" "$dir/Jisho/Zenkoku.csv.tmp" ;;
esac
mv "$dir/Jisho/Zenkoku.csv.tmp" "$dir/Jisho/Zenkoku.csv"
echo "Dictionary: $dir/Jisho/Zenkoku.csv (from $src)"
