#!/usr/bin/env bash
# Installs what is missing, builds the wizard with the package folder given
# (the sample package when none is), and opens it under Wine.
#   scripts/run.sh [PACKAGE_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
package=${1:-$root/resources/sample-package}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_PACKAGE_DIR="$(cd "$package" && pwd)" >/dev/null
cmake --build "$build" -j"$(nproc)" --target VELNORIX410aPackageE
echo "Built: $build/bin/VELNORIX410aPackageE.exe"

if [ -z "${DISPLAY:-}" ]; then
  echo "No display: run it on a desktop with  DISPLAY=:0 $0"
  echo "or on a virtual one with  xvfb-run -s '-screen 0 1024x768x24' $0"
  exit 0
fi
. "$root/scripts/wine-session.sh"
wine_session "$build"
wine "$build/bin/VELNORIX410aPackageE.exe"
