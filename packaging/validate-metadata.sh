#!/usr/bin/env bash
# Runs the freedesktop validators on the installed menu entry and AppStream
# data: desktop-file-validate, and appstreamcli validate-tree offline, which
# also checks that the AppStream data finds its menu entry. Exits 77 (a
# skipped test) when a validator is missing or nothing was installed to check.
#
#   validate-metadata.sh PREFIX DESKTOP_ID APP_ID
set -euo pipefail

usage="usage: validate-metadata.sh PREFIX DESKTOP_ID APP_ID"
prefix=${1:?$usage}
desktop_id=${2:?$usage}
app_id=${3:?$usage}
entry=$prefix/share/applications/$desktop_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml

for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (bash scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ ! -f "$entry" ] && [ ! -f "$metainfo" ]; then
  echo "SKIP: no menu entry or AppStream data installed in $prefix (the window program is not built)"
  exit 77
fi

status=0
# Hints are advice; errors and warnings fail.
out=$(desktop-file-validate "$entry" 2>&1) || status=1
[ -z "$out" ] || printf '%s\n' "$out"
if printf '%s\n' "$out" | grep -qE ': (error|warning): '; then
  status=1
fi
if [ -f "$metainfo" ]; then
  appstreamcli validate-tree --no-net --explain "$prefix" || status=1
else
  echo "FAIL: no AppStream data $metainfo" >&2
  status=1
fi
[ "$status" = 0 ] && echo "$entry and $metainfo are valid"
exit "$status"
