#!/usr/bin/env bash
# Installs what is missing, builds the wizard with the package folder given
# (the sample package when none is), and opens it under Wine. Options after
# the folder go to CMake's configure step.
#   scripts/run.sh [PACKAGE_FOLDER [-DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON ...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
package=${1:-$root/resources/sample-package}
[ $# -gt 0 ] && shift
if [ ! -d "$package" ]; then
  echo "$0: there is no package folder $package" >&2
  exit 1
fi
package=$(cd "$package" && pwd)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_PACKAGE_DIR="$package" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target VELNORIX410aPackageE
echo "Built: $build/bin/VELNORIX410aPackageE.exe"

if [ -z "${DISPLAY:-}" ]; then
  # The same command again, with the same package folder and build folder.
  command=$(printf '%q ' "$0" "$package" "$@")
  command=${command% }
  env=""
  [ -n "${BUILD_DIR:-}" ] && env="BUILD_DIR=$(printf '%q' "$build") "
  echo "No display: run it on a desktop with  ${env}DISPLAY=:0 $command"
  echo "or on a virtual one with  ${env}xvfb-run -s '-screen 0 1024x768x24' $command"
  exit 0
fi
. "$root/scripts/host-kind.sh"
probe_host "$build"
. "$root/scripts/wine-session.sh"
if [ "$HOST_RUNS_32BIT" = yes ]; then
  wine_session "$build" win32
  "$WINE" "$build/bin/VELNORIX410aPackageE.exe"
else
  # The same sources and package built for x86_64, for a look: the shipped
  # program is still the 32-bit one above.
  build64=${BUILD_DIR_64:-$build-x86_64}
  cmake -S "$root" -B "$build64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_PACKAGE_DIR="$package" "$@" >/dev/null
  cmake --build "$build64" -j"$(nproc)" --target VELNORIX410aPackageE
  echo "Opening the 64-bit build $build64/bin/VELNORIX410aPackageE.exe instead: $HOST_KIND_WHY"
  wine_session "$build64" win64
  "$WINE" "$build64/bin/VELNORIX410aPackageE.exe"
fi
