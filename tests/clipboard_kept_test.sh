#!/usr/bin/env bash
# On a private Xvfb with no clipboard manager: text copied by a program that
# then ends can still be pasted (served by tenmari-clipboard), and the helper
# ends as soon as another program takes the clipboard.
#
#   clipboard_kept_test.sh DRIVER HELPER
set -uo pipefail
driver=${1:?usage: clipboard_kept_test.sh DRIVER HELPER}
helper=${2:?usage: clipboard_kept_test.sh DRIVER HELPER}

# shellcheck source=tests/xvfb_support.sh
source "$(dirname "$0")/xvfb_support.sh"
require_tools Xvfb xclip

scratch=$(mktemp -d)
xvfb_pid= xclip_pid= helper_pid=
cleanup() {
  [ -n "$xclip_pid" ] && kill "$xclip_pid" 2>/dev/null
  [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

start_xvfb "$scratch" 640x480

status=0
fail() { echo "FAIL: $*" >&2; status=1; }

text='〒100-0001 東京都千代田区千代田'
helper_pid=$("$driver" "$text" "$helper" </dev/null)
if [ -z "$helper_pid" ] || [ "$helper_pid" = 0 ]; then
  echo "FAIL: no helper took the clipboard over" >&2
  exit 1
fi
kill -0 "$helper_pid" 2>/dev/null || fail "the helper $helper_pid is not running after the program ended"
# Its own session, away from the terminal that started the program.
[ "$(ps -o sid= -p "$helper_pid" | tr -d ' ')" != "$(ps -o sid= -p $$ | tr -d ' ')" ] ||
  fail "the helper is in the session of the program that started it"
[ "$(ps -o tty= -p "$helper_pid" | tr -d ' ')" = "?" ] || fail "the helper has a controlling terminal"

got=$(timeout 10 xclip -o -selection clipboard)
[ "$got" = "$text" ] || fail "after the program ended the clipboard gave '$got', not '$text'"
got=$(timeout 10 xclip -o -selection clipboard)
[ "$got" = "$text" ] || fail "a second paste gave '$got'"

# Another program takes the clipboard: the helper ends.
printf 'other' | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
xclip_pid=$!
for _ in $(seq 100); do kill -0 "$helper_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$helper_pid" 2>/dev/null; then
  fail "the helper still runs after another program took the clipboard"
else
  helper_pid=
fi
got=$(timeout 10 xclip -o -selection clipboard)
[ "$got" = other ] || fail "the clipboard gave '$got' after xclip took it"

[ "$status" = 0 ] && echo "The text outlived the program and the helper ended when xclip took the clipboard"
exit "$status"
