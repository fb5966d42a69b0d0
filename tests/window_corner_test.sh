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
# openbox manages windows once it names itself on the root window.
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05; done

# The X window of the shown program window.
shown_window() { xdotool search --onlyvisible --name '^Tenmari$' 2>/dev/null | head -n 1; }

# Waits up to 5 s until the shown window has a title bar ($1 = 1) or none ($1 = 0),
# as the window manager's frame tells: the rebuilt window is framed then.
framed() {
  local w top
  for _ in $(seq 100); do
    w=$(shown_window)
    if [ -n "$w" ]; then
      top=$(xprop -id "$w" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d , | awk '{print $3}')
      if [ "$1" = 1 ] && [ "${top:-0}" -gt 0 ]; then return 0; fi
      if [ "$1" = 0 ] && [ -n "$top" ] && [ "$top" -eq 0 ]; then return 0; fi
    fi
    sleep 0.05
  done
  return 1
}

# The outer corner of the shown window: its client's place less the frame.
corner() {
  local w info ext
  w=$(shown_window)
  [ -n "$w" ] || return
  info=$(xwininfo -id "$w")
  ext=$(xprop -id "$w" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)
  set -- $ext
  echo "$(($(awk '/Absolute upper-left X/{print $4}' <<<"$info") - ${1:-0})),$(($(awk '/Absolute upper-left Y/{print $4}' <<<"$info") - ${3:-0}))"
}

status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# Waits up to $2 s (5 by default) until the corner is at $1 and stays there for three looks
# in a row; true when it does.
corner_reaches() {
  local kept=0 until=$((SECONDS + ${2:-5}))
  while [ "$SECONDS" -le "$until" ]; do
    got=$(corner)
    if [ "$got" = "$1" ]; then kept=$((kept + 1)); else kept=0; fi
    [ "$kept" -ge 3 ] && return 0
    sleep 0.05
  done
  return 1
}

# Waits up to 5 s for a shown message box (titled with the application title).
message_box_shown() {
  for _ in $(seq 100); do
    [ -n "$(xdotool search --onlyvisible --name '^Tenmariソフト$' 2>/dev/null)" ] && return 0
    sleep 0.05
  done
  return 1
}

# Places near the top (as reported) and away from it; each twice, as the
# window manager's timing varies.
for place in 100,60 100,0 100,100 300,300 100,60 100,0; do
  left=${place%,*} top=${place#*,}
  mkdir -p "$XDG_CONFIG_HOME/Nagiworks"
  printf '[Program]\nMainTop=%s\nMainLeft=%s\n' "$top" "$left" >"$XDG_CONFIG_HOME/Nagiworks/Yorozuba.conf"
  "$program" >"$scratch/app.log" 2>&1 &
  app_pid=$!
  corner_reaches "$place" 20 || fail "started at $got, not $place"
  # Clicks are handled in order: the settings panel is open when the second comes.
  xdotool mousemove $((left + 85)) $((top + 395)) click 1    # the settings button
  xdotool mousemove $((left + 58)) $((top + 324)) click 1    # ChkTBar: no title bar
  message_box_shown || fail "from $place, no hint after removing the title bar"
  xdotool key Return                                          # the hint's message box
  framed 0 || fail "from $place, the title bar did not go"
  corner_reaches "$place" || fail "from $place, without the title bar the corner is at $got"
  xdotool mousemove $((left + 57)) $((top + 300)) click 1    # ChkTBar again: title bar back
  framed 1 || fail "from $place, the title bar did not come back"
  corner_reaches "$place" || fail "from $place, with the title bar back the corner is at $got"
  echo "from $place: corner kept both ways"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=
done
exit "$status"
