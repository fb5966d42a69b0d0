#!/usr/bin/env bash
# Installs what Tenmari needs to build, test and run on Debian 12 (bookworm).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libjpeg62-turbo-dev libzip-dev
  # Reading spreadsheets' CSV files (sheet/).
  libcsv-dev
  libgtest-dev googletest
  fonts-ipafont-gothic fonts-noto-cjk unzip curl ca-certificates
  # The Debian package and the checks of the installed files.
  dpkg-dev file desktop-file-utils appstream
  # The second build with AddressSanitizer and UndefinedBehaviorSanitizer,
  # and the libFuzzer harnesses: clang, its sanitizer and fuzzer runtimes,
  # and llvm-symbolizer for readable reports.
  clang libclang-rt-14-dev llvm
  # The sources' one format (scripts/format.sh --check).
  clang-format
  # Asking the X server where the window is.
  libxcb1-dev
  # The window under a Wayland compositor with XWayland (the session tests).
  weston xwayland qt6-wayland x11-utils
  # The window on a real X server with a window manager (the clipboard and
  # title-bar tests).
  xvfb openbox xclip xdotool
)
# To look at the window on a virtual screen: TENMARI_WITH_DESKTOP=1.
[ "${TENMARI_WITH_DESKTOP:-0}" = 1 ] && packages+=(picom imagemagick)
[ "${TENMARI_WITH_BENCH:-0}" = 1 ] && packages+=(hyperfine linux-perf)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
