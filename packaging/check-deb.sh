#!/usr/bin/env bash
# Builds the Debian package from a build tree with the sample dictionaries and
# checks it without root: its name and fields, then its content unpacked with
# dpkg-deb -x into a scratch folder, where the unpacked tenmari-lookup must find
# 100-0001 in the unpacked dictionaries. The maintainer scripts run against the
# scratch folder (DPKG_ROOT): the first install, an upgrade over the untouched
# copy, an upgrade over dictionaries the user built, and the purge.
#
#   check-deb.sh BUILD_DIR SCRATCH_DIR WINDOW(0|1)
set -euo pipefail

build=${1:?usage: check-deb.sh BUILD_DIR SCRATCH_DIR WINDOW}
scratch=${2:?usage: check-deb.sh BUILD_DIR SCRATCH_DIR WINDOW}
window=${3:?usage: check-deb.sh BUILD_DIR SCRATCH_DIR WINDOW}
here=$(cd "$(dirname "$0")" && pwd)
sample=$here/../resources/sample/KEN_ALL_SAMPLE.CSV
expected=東京都千代田区千代田

for tool in dpkg-deb dpkg-shlibdeps file cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (bash scripts/install-deps.sh installs it)"
    exit 77
  fi
done

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

rm -rf "$scratch"
mkdir -p "$scratch"
if ! env -u TENMARI_KEN_ALL cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" \
    >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$scratch/out/tenmari_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  echo "FAIL: cpack made $(cd "$scratch/out" && ls -- *.deb 2>/dev/null || echo nothing), not $(basename "$deb")" >&2
  exit 1
fi
echo "Built $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- Control fields ----------------------------------------------------------
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tenmari ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
depends=$(field Depends)
needed=(libc6 libstdc++6 libcsv3 fonts-ipafont-gothic)
[ "$window" = 1 ] && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
for d in "${needed[@]}"; do
  [[ ", $depends," == *", $d "* || ", $depends," == *", $d,"* ]] || fail "Depends lacks $d: $depends"
done
description=$(field Description)
grep -q 'sample dictionary' <<<"$description" || fail "the description does not say the dictionaries are a sample"
grep -q 'tenmari-jisho ken_all.zip /usr/lib/tenmari/Jisho' <<<"$description" \
  || fail "the description does not say how to install the real file"

# --- Content -----------------------------------------------------------------
root=$scratch/root
dpkg-deb -x "$deb" "$root"
programs=(tenmari-lookup tenmari-jisho)
[ "$window" = 1 ] && programs+=(tenmari)
for p in "${programs[@]}"; do
  [ -x "$root/usr/lib/tenmari/$p" ] || fail "usr/lib/tenmari/$p is missing"
  [ "$(readlink "$root/usr/bin/$p")" = "../lib/tenmari/$p" ] || fail "usr/bin/$p is not a link to ../lib/tenmari/$p"
  if file -b "$root/usr/lib/tenmari/$p" | grep -q 'not stripped'; then
    fail "usr/lib/tenmari/$p is not stripped"
  fi
done
if [ "$window" = 1 ]; then
  helper=$root/usr/lib/tenmari/tenmari-clipboard
  [ -x "$helper" ] || fail "usr/lib/tenmari/tenmari-clipboard is missing"
  [ ! -e "$root/usr/bin/tenmari-clipboard" ] || fail "usr/bin/tenmari-clipboard exists: the helper is the window's own"
  if file -b "$helper" | grep -q 'not stripped'; then fail "usr/lib/tenmari/tenmari-clipboard is not stripped"; fi
fi
for page in tenmari-lookup tenmari-jisho; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no man page usr/share/man/man1/$page.1.gz"
done
if [ "$window" = 1 ]; then
  entry=$(find "$root/usr/share/applications" -name '*.desktop' 2>/dev/null | head -n 1)
  if [ -z "$entry" ]; then
    fail "no menu entry"
  else
    grep -qx 'Exec=/usr/bin/tenmari' "$entry" || fail "$entry does not start /usr/bin/tenmari"
    grep -qx 'Path=/usr/lib/tenmari' "$entry" || fail "$entry does not start in /usr/lib/tenmari"
  fi
  [ -n "$(find "$root/usr/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)" ] || fail "no AppStream data"
fi
link=$(readlink "$root/usr/lib/tenmari/Jisho" || true)
[ "$link" = /var/lib/tenmari/Jisho ] || fail "usr/lib/tenmari/Jisho links to '$link', not /var/lib/tenmari/Jisho"
first_start=$(readlink "$root/usr/lib/tenmari/Ken_all.csv" || true)
[ "$first_start" = Jisho/Zenkoku.csv ] || fail "usr/lib/tenmari/Ken_all.csv links to '$first_start', not Jisho/Zenkoku.csv"
packaged=$root/usr/share/tenmari/Jisho
n=$(find "$packaged" -maxdepth 1 -name '*.csv' | wc -l)
[ "$n" = 10 ] || fail "usr/share/tenmari/Jisho holds $n dictionaries, not 10"
cmp -s "$packaged/Zenkoku.csv" "$sample" || fail "usr/share/tenmari/Jisho/Zenkoku.csv is not the sample"

lookup() { "$root/usr/bin/tenmari-lookup" --dict "$1/Zenkoku.csv" code 1000001; }
got=$(lookup "$packaged") || fail "the unpacked tenmari-lookup exited $? on the unpacked dictionaries"
[ "$got" = "$expected" ] || fail "the unpacked tenmari-lookup printed '$got', not '$expected'"

# --- Maintainer scripts --------------------------------------------------------
control=$scratch/control
dpkg-deb --control "$deb" "$control"
jisho=$root$link
postinst() { DPKG_ROOT=$root sh "$control/postinst" configure "$@" >"$scratch/postinst.log" 2>&1; }

postinst || fail "postinst configure (first install) failed: $(cat "$scratch/postinst.log")"
n=$(find "$jisho" -maxdepth 1 -name '*.csv' 2>/dev/null | wc -l)
[ "$n" = 10 ] || fail "after the first install $link holds $n dictionaries, not 10"
got=$(lookup "$jisho") || true
[ "$got" = "$expected" ] || fail "tenmari-lookup in $link printed '$got' after the first install"

# An upgrade whose package carries newer dictionaries replaces the untouched copy.
newer=$scratch/newer/KEN_ALL.CSV
mkdir -p "$(dirname "$newer")"
head -n -1 "$sample" >"$newer"
"$root/usr/bin/tenmari-jisho" "$newer" "$packaged" >/dev/null
postinst "$version" || fail "postinst configure (upgrade) failed: $(cat "$scratch/postinst.log")"
cmp -s "$jisho/Zenkoku.csv" "$newer" || fail "an upgrade did not replace the package's untouched dictionaries"

# Dictionaries the user built are kept by the next upgrade.
"$root/usr/bin/tenmari-jisho" "$sample" "$jisho" >/dev/null
postinst "$version" || fail "postinst configure (upgrade over the user's) failed: $(cat "$scratch/postinst.log")"
cmp -s "$jisho/Zenkoku.csv" "$sample" || fail "an upgrade replaced the dictionaries the user built"
grep -q 'keeping the dictionaries' "$scratch/postinst.log" || fail "postinst did not say it kept the user's dictionaries"
[ -z "$(find "$(dirname "$jisho")" -maxdepth 1 -name 'Jisho.*')" ] || fail "postinst left Jisho.new or Jisho.old behind"

DPKG_ROOT=$root sh "$control/postrm" remove
[ -d "$jisho" ] || fail "removing the package removed the dictionaries"
DPKG_ROOT=$root sh "$control/postrm" purge
[ ! -e "$root/var/lib/tenmari" ] || fail "purging the package left var/lib/tenmari"

# The same through dpkg itself, into a private root with its own database: the
# scripts must run as dpkg runs them (configure, purge).
droot=$scratch/dpkg-root
mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates"
: >"$droot/var/lib/dpkg/status"
dpkg_root() {
  dpkg --root="$droot" --force-script-chrootless --force-not-root --force-depends \
    --log=/dev/null "$@" >>"$scratch/dpkg.log" 2>&1
}
if dpkg_root --install "$deb"; then
  got=$("$droot/usr/bin/tenmari-lookup" --dict "$droot$link/Zenkoku.csv" code 1000001) || true
  [ "$got" = "$expected" ] || fail "after dpkg --install, tenmari-lookup in $link printed '$got'"
  dpkg_root --purge tenmari || fail "dpkg --purge failed: $(cat "$scratch/dpkg.log")"
  left=$(cd "$droot" && find . -mindepth 1 ! -path './var/lib/dpkg*' ! -path ./var/lib ! -path ./var)
  [ -z "$left" ] || fail "dpkg --purge left: $left"
else
  fail "dpkg --install failed: $(cat "$scratch/dpkg.log")"
fi

[ "$status" = 0 ] && echo "The package is complete; unpacked tenmari-lookup code 1000001: $expected"
exit "$status"
