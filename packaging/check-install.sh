#!/usr/bin/env bash
# Installs a build into a scratch prefix, as `cmake --install BUILD --prefix P`
# does for a user, and checks the tree: the program folder under lib/tenmari,
# the links in bin, the menu entry, icons, AppStream data and man pages, and a
# lookup started through its link in bin that finds the dictionaries beside the
# real program.
#
#   check-install.sh BUILD_DIR SCRATCH_DIR WINDOW(0|1)
set -euo pipefail

build=${1:?usage: check-install.sh BUILD_DIR SCRATCH_DIR WINDOW}
scratch=${2:?usage: check-install.sh BUILD_DIR SCRATCH_DIR WINDOW}
window=${3:?usage: check-install.sh BUILD_DIR SCRATCH_DIR WINDOW}
app_id=${TENMARI_APP_ID:-io.github.tenmari.Tenmari}
desktop_id=${TENMARI_DESKTOP_ID:-tenmari}
here=$(cd "$(dirname "$0")" && pwd)
sample=$here/../resources/sample/KEN_ALL_SAMPLE.CSV
expected=東京都千代田区千代田

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

programs=(tenmari-lookup tenmari-jisho)
[ "$window" = 1 ] && programs+=(tenmari)
for p in "${programs[@]}"; do
  real=$prefix/lib/tenmari/$p
  if [ ! -f "$real" ] || [ -L "$real" ] || [ ! -x "$real" ]; then
    fail "$real is not an executable file"
  fi
  link=$(readlink "$prefix/bin/$p" || true)
  [ "$link" = "../lib/tenmari/$p" ] || fail "bin/$p links to '$link', not ../lib/tenmari/$p"
done

if [ "$window" = 1 ]; then
  helper=$prefix/lib/tenmari/tenmari-clipboard
  [ -f "$helper" ] && [ -x "$helper" ] || fail "$helper is not an executable file"
  [ ! -e "$prefix/bin/tenmari-clipboard" ] || fail "bin/tenmari-clipboard exists: the helper is started by the window only"
fi

# The dictionaries: those the build prepared, else built here with the
# installed tenmari-jisho, started through its link.
jisho=$prefix/lib/tenmari/Jisho
if [ -d "$jisho" ]; then
  extra=$(find "$jisho" -mindepth 1 ! -name '*.csv')
  [ -z "$extra" ] || fail "Jisho/ holds more than dictionaries: $extra"
  echo "Installed the build's dictionaries: $(ls "$jisho" | wc -l) files"
else
  "$prefix/bin/tenmari-jisho" "$sample" "$jisho" >/dev/null || fail "bin/tenmari-jisho on the sample"
fi
n=$(find "$jisho" -maxdepth 1 -name '*.csv' | wc -l)
[ "$n" = 10 ] || fail "Jisho/ holds $n dictionaries, not 10"
# The window's first start reads Ken_all.csv in its working folder, the program folder.
first_start=$(readlink "$prefix/lib/tenmari/Ken_all.csv" || true)
[ "$first_start" = Jisho/Zenkoku.csv ] || fail "lib/tenmari/Ken_all.csv links to '$first_start', not Jisho/Zenkoku.csv"
cmp -s "$prefix/lib/tenmari/Ken_all.csv" "$jisho/Zenkoku.csv" || fail "lib/tenmari/Ken_all.csv is not the nationwide dictionary"
# From another folder, so that only the program's own path can lead to Jisho/.
got=$(cd / && "$prefix/bin/tenmari-lookup" code 1000001) || fail "bin/tenmari-lookup code 1000001 exited $?"
[ "$got" = "$expected" ] || fail "bin/tenmari-lookup code 1000001 printed '$got', not '$expected'"

# Reinstalling keeps newer dictionaries in the installed folder: a table of
# (build's, installed's, which wins), each folder built from a source with a
# file time; "sample" is the sample, "older" and "newer" are two made-up
# updates of it.
cases=$scratch/jisho-cases
mkdir -p "$cases/src"
cp "$sample" "$cases/src/sample.csv"
head -n -1 "$sample" >"$cases/src/older.csv"
head -n -2 "$sample" >"$cases/src/newer.csv"
make_jisho() {  # SOURCE DIR TIME
  rm -rf "$2"
  "$prefix/bin/tenmari-jisho" "$cases/src/$1.csv" "$2" >/dev/null
  touch -d "$3" "$2"/*.csv
}
while read -r from from_time to to_time winner; do
  name="$from@$from_time over ${to:-nothing}${to_time:+@$to_time}"
  make_jisho "$from" "$cases/from" "$from_time"
  rm -rf "$cases/to"
  [ "$to" = - ] || make_jisho "$to" "$cases/to" "$to_time"
  cmake -DTENMARI_JISHO_FROM="$cases/from" -DTENMARI_JISHO_TO="$cases/to" -DTENMARI_SAMPLE="$sample" \
    -P "$here/InstallJisho.cmake" >"$cases/log" 2>&1 || fail "installing $name: $(cat "$cases/log")"
  cmp -s "$cases/to/Zenkoku.csv" "$cases/src/$winner.csv" || fail "installing $name: the folder does not hold $winner"
  n=$(find "$cases/to" -name '*.csv' | wc -l)
  [ "$n" = 10 ] || fail "installing $name: the folder holds $n dictionaries"
done <<'EOF'
sample 2026-01-01 - - sample
older 2026-01-01 sample 2026-02-01 older
sample 2026-03-01 older 2026-02-01 older
older 2026-01-01 newer 2026-02-01 newer
newer 2026-03-01 older 2026-02-01 newer
older 2026-01-01 older 2026-02-01 older
EOF

for page in tenmari-lookup tenmari-jisho; do
  file=$prefix/share/man/man1/$page.1.gz
  [ -f "$file" ] || file=$prefix/share/man/man1/$page.1
  if [ ! -f "$file" ]; then
    fail "no man page for $page"
  elif command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null || echo "man failed")
    [ -z "$warnings" ] || fail "man page $file: $warnings"
  fi
done

share=$prefix/share
if [ "$window" = 1 ]; then
  version=$("$prefix/bin/tenmari" --version) || fail "bin/tenmari --version exited $?"
  [[ "$version" == "tenmari "* ]] || fail "bin/tenmari --version printed '$version'"
  entry=$share/applications/$desktop_id.desktop
  if [ -f "$entry" ]; then
    exec_line=$(grep '^Exec=' "$entry")
    [ "$exec_line" = "Exec=$prefix/bin/tenmari" ] || fail "$entry: '$exec_line' does not start $prefix/bin/tenmari"
    path_line=$(grep '^Path=' "$entry")
    [ "$path_line" = "Path=$prefix/lib/tenmari" ] || fail "$entry: '$path_line' does not start in $prefix/lib/tenmari"
  else
    fail "no menu entry $entry"
  fi
  [ -f "$share/metainfo/$app_id.metainfo.xml" ] || fail "no AppStream data"
  [ -f "$share/icons/hicolor/scalable/apps/$desktop_id.svg" ] || fail "no scalable icon"
  for size in 16 24 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/$desktop_id.png
    if [ ! -f "$icon" ]; then
      fail "no $size px icon"
    elif command -v file >/dev/null; then
      file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon: $(file -b "$icon")"
    fi
  done
else
  echo "The window program is not built: no menu entry, icons or AppStream data to check."
fi

[ "$status" = 0 ] && echo "Installed tree in $prefix is complete; bin/tenmari-lookup code 1000001: $got"
exit "$status"
