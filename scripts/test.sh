#!/usr/bin/env bash
# Builds the wizard with the sample package and runs every test under Wine
# on a private X display. Screenshots land in build/screenshots.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

. "$root/scripts/wine-session.sh"
wine_session "$build" private
status=0
ctest --test-dir "$build" --output-on-failure || status=$?
for bitmap in "$build"/screenshots/*.bmp; do
  [ -e "$bitmap" ] && convert "$bitmap" "${bitmap%.bmp}.png" && rm "$bitmap"
done
exit $status
