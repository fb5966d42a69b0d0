#!/usr/bin/env bash
# On a private Xvfb with no clipboard manager: text copied by a program that
# then ends can still be pasted (served by tenmari-clipboard), and the helper
# ends as soon as another program takes the clipboard.
#
#   clipboard_kept_test.sh DRIVER HELPER
set -uo pipefail
driver=${1:?usage: clipboard_kept_test.sh DRIVER HELPER}
helper=${2:?usage: clipboard_kept_test.sh DRIVER HELPER}

for tool in Xvfb xclip; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

scratch=$(mktemp -d)
xvfb_pid= xclip_pid= helper_pid=
cleanup() {
  [ -n "$xclip_pid" ] && kill "$xclip_pid" 2>/dev/null
  [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# A free display number, chosen by the server.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
if [ ! -s "$scratch/display" ]; then
  echo "SKIP: Xvfb did not start: $(cat "$scratch/xvfb.log")"
  exit 77
fi
export DISPLAY=:$(cat "$scratch/display")
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

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
