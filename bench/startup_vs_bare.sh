#!/usr/bin/env bash
# The window's start-up, exec to window mapped, against a bare Qt 6 window
# with a label, the two started in turn under Xvfb and openbox:
#
#   cmake --build build --target tenmari tenmari-bench-startup tenmari-bench-bare-window
#   bash bench/startup_vs_bare.sh [RUNS]          # 20 runs each by default
#
# TENMARI_STARTUP_BEFORE=/path/to/an/earlier/tenmari adds an earlier build,
# started in turn with the other two (put it in build/bin beside the program,
# so that it finds the same program folder).
#
# The X display is TENMARI_BENCH_DISPLAY (default :57); the window's settings
# live in a scratch folder and it starts in its program folder, as the menu
# entry starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
display=${TENMARI_BENCH_DISPLAY:-:57}
for tool in Xvfb openbox xprop; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
bench=$PWD/build/bench bin=$PWD/build/bin
scratch=$(mktemp -d)
xvfb_pid= wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log" &
xvfb_pid=$!
export DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$scratch/config
unset WAYLAND_DISPLAY
for _ in $(seq 100); do xprop -root >/dev/null 2>&1 && break; sleep 0.05; done
openbox >"$scratch/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05; done

echo "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores (a virtual machine), load $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$bin"
"$bench/tenmari-bench-startup" "$runs" "$bench/tenmari-bench-bare-window" \
  ${TENMARI_STARTUP_BEFORE:+"$TENMARI_STARTUP_BEFORE"} "$bin/tenmari"
