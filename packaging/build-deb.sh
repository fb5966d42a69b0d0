#!/usr/bin/env bash
# Builds the Debian package build/tenmari_<version>_<arch>.deb: installs what is
# missing, builds, and runs cpack. The package's dictionaries are built from
# TENMARI_KEN_ALL (Japan Post's ken_all.zip or the KEN_ALL.CSV inside it) when
# it is set, else from the project's small sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

if [ -n "${TENMARI_KEN_ALL:-}" ]; then
  if [ ! -f "$TENMARI_KEN_ALL" ]; then
    echo "build-deb: TENMARI_KEN_ALL names no file: $TENMARI_KEN_ALL" >&2
    exit 2
  fi
  echo "Dictionaries of the package: $TENMARI_KEN_ALL"
else
  echo "Dictionaries of the package: the small sample (set TENMARI_KEN_ALL to Japan Post's ken_all.zip for the real ones)"
fi

program_dir=build/bin
if [ ! -f "$program_dir/tenmari" ]; then
  echo "build-deb: note: the window program is not built; the package has the command-line programs only." >&2
elif [ ! -f "$program_dir/Image/001.jpg" ]; then
  echo "build-deb: note: $program_dir/Image holds no help pictures; the package's help pages will have none." >&2
fi

rm -f build/tenmari_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 2; }
deb=$(ls build/tenmari_*.deb)
echo "Built $deb ($(du -h "$deb" | cut -f1)); install it with: sudo apt install ./$deb"
