# Sourced by the window tests that need a real X server: the tools they
# need, and a private Xvfb on a display number the server chooses.

# Skips the test (exit 77) unless every named program is installed.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
}

# start_xvfb SCRATCH WIDTHxHEIGHT: starts the server with its log in the
# folder SCRATCH, sets xvfb_pid (the caller's cleanup ends it), and points
# X clients and Qt at it. Skips the test (exit 77) when it does not start.
start_xvfb() {
  local scratch=$1 size=$2
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  if [ ! -s "$scratch/display" ]; then
    echo "SKIP: Xvfb did not start: $(cat "$scratch/xvfb.log")"
    exit 77
  fi
  DISPLAY=:$(cat "$scratch/display")
  export DISPLAY
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}
