#!/usr/bin/env bash
# The real window under Xvfb and openbox: removing the title bar and giving it
# back leaves the window's outer corner where it was, from places near the top
# of the screen and away from it.
#
#   window_corner_test.sh TENMARI
set -uo pipefail
program=${1:?usage: window_corner_test.sh TENMARI}

# shellcheck source=tests/xvfb_support.sh
source "$(dirname "$0")/xvfb_support.sh"
require_tools Xvfb openbox xdotool xprop xwininfo

scratch=$(mktemp -d)
xvfb_pid= wm_pid= app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

start_xvfb "$scratch" 1024x768
export XDG_CONFIG_HOME=$scratch/config TENMARI_KEEP_CLIPBOARD=0
openbox >"$scratch/openbox.log" 2>&1 &
wm_pid=$!
sleep 1

# The outer corner of the shown window: its client's place less the frame.
corner() {
  local w x y ext
  for w in $(xdotool search --name '^Tenmari$' 2>/dev/null); do
    xwininfo -id "$w" | grep -q 'IsViewable' || continue
    x=$(xwininfo -id "$w" | awk '/Absolute upper-left X/{print $4}')
    y=$(xwininfo -id "$w" | awk '/Absolute upper-left Y/{print $4}')
    ext=$(xprop -id "$w" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)
    set -- $ext
    echo "$((x - ${1:-0})),$((y - ${3:-0}))"
    return
  done
}

status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# Places near the top (as reported) and away from it; each twice, as the
# window manager's timing varies.
for place in 100,60 100,0 100,100 300,300 100,60 100,0; do
  left=${place%,*} top=${place#*,}
  mkdir -p "$XDG_CONFIG_HOME/Nagiworks"
  printf '[Program]\nMainTop=%s\nMainLeft=%s\n' "$top" "$left" >"$XDG_CONFIG_HOME/Nagiworks/Yorozuba.conf"
  "$program" >"$scratch/app.log" 2>&1 &
  app_pid=$!
  for _ in $(seq 50); do [ -n "$(corner)" ] && break; sleep 0.1; done
  sleep 0.5
  [ "$(corner)" = "$place" ] || fail "started at $(corner), not $place"
  xdotool mousemove $((left + 85)) $((top + 395)) click 1    # the settings button
  sleep 0.5
  xdotool mousemove $((left + 58)) $((top + 324)) click 1    # ChkTBar: no title bar
  sleep 1
  xdotool key Return                                          # the hint's message box
  sleep 0.5
  got=$(corner)
  [ "$got" = "$place" ] || fail "from $place, without the title bar the corner is at $got"
  xdotool mousemove $((left + 57)) $((top + 300)) click 1    # ChkTBar again: title bar back
  sleep 1.5
  got=$(corner)
  [ "$got" = "$place" ] || fail "from $place, with the title bar back the corner is at $got"
  echo "from $place: corner kept both ways"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=
done
exit "$status"
