#!/usr/bin/env bash
# Prepares DIR/Jisho, the nationwide and the nine regional dictionaries, beside
# the programs in DIR (build/bin). The source is the
# first that is there:
#   1. TENMARI_KEN_ALL: Japan Post's ken_all.zip or the KEN_ALL.CSV inside it;
#   2. a ken_all.zip or KEN_ALL.CSV in the repository's root;
#   3. Japan Post's ken_all.zip, downloaded (kept in build/downloads/);
#   4. the project's small sample dictionary.
# A folder already built from the same source (path, size, time) is kept.
set -euo pipefail

usage="usage: prepare-jisho.sh DIR"
target=${1:?$usage}
target=$(realpath -m -- "$target")
explicit=""
[ -n "${TENMARI_KEN_ALL:-}" ] && explicit=$(realpath -m -- "$TENMARI_KEN_ALL")
cd "$(dirname "$0")/.."
root=$(pwd)

# tenmari-jisho of the same build tree (DIR is build/<program folder>).
builder=""
for b in "$target/tenmari-jisho" build/bin/tenmari-jisho; do
  if [ -x "$b" ]; then
    builder=$b
    break
  fi
done
url=https://www.post.japanpost.jp/zipcode/dl/kogaki/zip/ken_all.zip
download=$(dirname "$target")/downloads/ken_all.zip
sample=resources/sample/KEN_ALL_SAMPLE.CSV
jisho=$target/Jisho
stamp=$jisho/.source

if [ -z "$builder" ]; then
  echo "prepare-jisho: tenmari-jisho is not built; run scripts/build.sh first." >&2
  exit 2
fi

# Japan Post's zip, fetched only when newer than the copy from an earlier run.
# No network fails within seconds; an earlier copy is then used as it is.
fetch() {
  command -v curl >/dev/null || return 1
  local part=$download.part
  local newer=()
  [ -f "$download" ] && newer=(--time-cond "$download")
  rm -f "$part"
  if curl -fsSL --connect-timeout 5 --max-time 120 --remote-time --create-dirs "${newer[@]}" -o "$part" "$url" 2>/dev/null; then
    [ -s "$part" ] && mv -f "$part" "$download"
  else
    echo "Japan Post's ken_all.zip could not be downloaded (no network?)."
  fi
  rm -f "$part"
  [ -f "$download" ]
}

# The identity of a source: its full path, size and modification time.
identity() {
  local abs
  abs=$(realpath -- "$1")
  printf '%s\n' "$abs" "$(stat -L -c '%s %y' -- "$abs")"
}

# Builds the folder from $1 unless the stamp says it was built from it.
# Leaves the old folder whole when tenmari-jisho fails.
prepare() {
  local src=$1 id
  id=$(identity "$src")
  if [ -f "$stamp" ] && [ "$(sed -n '1,2p' "$stamp")" = "$id" ]; then
    local complete=1 line
    while IFS= read -r line; do
      [ -f "$jisho/$(basename "${line%%: *}")" ] || complete=0
    done < <(sed -n '3,$p' "$stamp")
    if [ "$complete" = 1 ]; then
      echo "Dictionaries in $jisho are up to date."
      return 0
    fi
  fi
  rm -f "$stamp"
  local report
  report=$("$builder" "$src" "$jisho") || return 1
  printf '%s\n' "$report"
  printf '%s\n%s\n' "$id" "$report" > "$stamp.part"
  mv -f "$stamp.part" "$stamp"
}

if [ -n "$explicit" ]; then
  if [ ! -f "$explicit" ]; then
    echo "prepare-jisho: TENMARI_KEN_ALL names no file: $explicit" >&2
    exit 2
  fi
  echo "Dictionary source: $explicit (from TENMARI_KEN_ALL)"
  prepare "$explicit" || exit 2
  exit 0
fi

for own in ken_all.zip KEN_ALL.CSV; do
  if [ -f "$own" ]; then
    echo "Dictionary source: $root/$own"
    prepare "$own" || exit 2
    exit 0
  fi
done

if fetch; then
  echo "Dictionary source: Japan Post's ken_all.zip ($download, $(date -r "$download" '+%Y-%m-%d'))"
  if prepare "$download"; then
    exit 0
  fi
  echo "The downloaded ken_all.zip cannot be used; it is removed and the sample is used instead." >&2
  rm -f "$download"
fi

# Never replace real dictionaries by the sample: keep what an earlier run built.
if [ -f "$stamp" ] && [ "$(sed -n 1p "$stamp")" != "$(realpath -- "$sample")" ]; then
  echo "Keeping the dictionaries in $jisho, built from $(sed -n 1p "$stamp")."
  exit 0
fi

echo "Dictionary source: the small sample dictionary $root/$sample"
prepare "$sample" || exit 2
cat <<EOF
The sample holds a few dozen made-up records only, one or more per prefecture
(try the postal code 100-0001). For the real dictionary, download Japan Post's
  $url
and put it in $root, or set TENMARI_KEN_ALL to its path, then run again.
EOF
