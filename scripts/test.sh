#!/usr/bin/env bash
# Builds the wizard with the sample package and runs every test under Wine
# on a private X display. Screenshots land in build/screenshots (and
# build-x86_64/screenshots).
#
# Two trees of the same sources: build/ (the shipped 32-bit program) and
# build-x86_64/ (a 64-bit build, for testing only). Where this host runs
# 32-bit programs, every test runs against the shipped program, and the
# 64-bit build's unit and end-to-end tests run as well. Where it cannot,
# the tests that run a Windows program run the 64-bit build under wine64,
# and the checks that only read the shipped program still read it.
# WIZARD_TEST_64BIT_BUILD=1 takes that second path on any host.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
build64=${BUILD_DIR_64:-$build-x86_64}

"$root/scripts/install-deps.sh"
. "$root/scripts/host-kind.sh"
probe_host "$build"
if [ "$HOST_RUNS_32BIT" = yes ]; then
  runs32=ON
  exercised="Windows-side tests ran the shipped 32-bit program $build/bin/VELNORIX410aPackageE.exe, and the 64-bit build's unit and end-to-end tests: $HOST_KIND_WHY"
else
  runs32=OFF
  exercised="Windows-side tests ran the 64-bit build $build64/bin/VELNORIX410aPackageE.exe; the shipped 32-bit program was only read: $HOST_KIND_WHY"
fi
echo "$HOST_KIND_WHY"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_BUILD_TESTS=ON \
  -DWIZARD_TESTS_RUN_WINDOWS_PROGRAMS=$runs32 -DWIZARD_TESTS_READ_THE_SHIPPED_PROGRAM=ON >/dev/null
cmake -S "$root" -B "$build64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_BUILD_TESTS=ON \
  -DWIZARD_TESTS_RUN_WINDOWS_PROGRAMS=ON -DWIZARD_TESTS_READ_THE_SHIPPED_PROGRAM=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake --build "$build64" -j"$(nproc)"

. "$root/scripts/wine-session.sh"
wine_display private
[ "$HOST_RUNS_32BIT" = yes ] && wine_prefix "$build" win32
wine_prefix "$build64" win64

# Both trees in one ctest run, so that there is one summary.
all="$build/all-trees"
mkdir -p "$all"
printf 'subdirs("%s" "%s")\n' "$build" "$build64" >"$all/CTestTestfile.cmake"
status=0
ctest --test-dir "$all" --output-on-failure |
  awk -v line="$exercised" '/tests passed, / && !said { print line; said = 1 } { print; fflush() }' ||
  status=$?
for bitmap in "$build"/screenshots/*.bmp "$build64"/screenshots/*.bmp; do
  [ -e "$bitmap" ] && convert "$bitmap" "${bitmap%.bmp}.png" && rm "$bitmap"
done
exit $status
