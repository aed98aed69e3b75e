#!/usr/bin/env bash
# Measures `makewizard build` on the sample and on packages of 256 MiB and
# 1 GiB, each beside, in the same run and on the same files:
#   the CMake path: configuring and building the wizard from that folder in a
#                   fresh build tree (the steps' times summed, the largest
#                   peak of any step)
#   makensis:       an uncompressed NSIS installer of the same three files
#   the floor:      cp of the three files plus sha256sum of them
# and prints one table (also written to build-bench/builder.md). Time: the
# median of the runs' elapsed time; memory: the largest peak resident set of
# any run; both from GNU time. Every run starts after a sync, with the
# previous run's output removed, and the packages already read once.
# Usage: scripts/bench-builder.sh [--quick] [--build DIR] [--makewizard PATH] [--stub PATH]
#   --quick       the sample and 256 MiB only, fewer runs
#   --build DIR   the build tree of the sample that gives makewizard, the stub
#                 and the sample's files; configured (if it is not yet) and
#                 built here. Default: build-bench/builder.
#   --makewizard, --stub (or MAKEWIZARD, WIZARD_STUB in the environment):
#                 default DIR/bin/makewizard and DIR/bin/wizard-stub.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-bench"
runs=5 cmake_runs=3 sizes_mib="256 1024" jobs=2
build="$out/builder" makewizard=${MAKEWIZARD:-} stub=${WIZARD_STUB:-}
while [ $# -gt 0 ]; do
  case $1 in
    --quick) runs=3 cmake_runs=1 sizes_mib="256" ;;
    --build) build=$2; shift ;;
    --makewizard) makewizard=$2; shift ;;
    --stub) stub=$2; shift ;;
    *) echo "usage: $0 [--quick] [--build DIR] [--makewizard PATH] [--stub PATH]" >&2; exit 2 ;;
  esac
  shift
done
build=$(mkdir -p "$build" && cd "$build" && pwd)
makewizard=${makewizard:-$build/bin/makewizard} stub=${stub:-$build/bin/wizard-stub.exe}
toolchain="$root/cmake/i686-w64-mingw32.cmake"

"$root/scripts/install-deps.sh"
command -v makensis >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q nsis >/dev/null
[ -x /usr/bin/time ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -q time >/dev/null

echo "Building the sample in $build..." >&2
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DWIZARD_PACKAGE_DIR="$root/resources/sample-package" -DWIZARD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target VELNORIX410aPackageE >/dev/null
for file in "$makewizard" "$stub"; do
  [ -f "$file" ] || { echo "$0: no $file; give --makewizard and --stub" >&2; exit 1; }
done
. "$root/scripts/bench-packages.sh"
SAMPLE_PAYLOAD=
for dir in "$build/sample-package" "$build/sample-payload"; do
  [ -s "$dir/${PAYLOAD_NAMES[0]}" ] && SAMPLE_PAYLOAD=$dir
done
[ -n "$SAMPLE_PAYLOAD" ] || { echo "$0: $build holds none of the sample's files" >&2; exit 1; }

# What a run leaves is removed as it ends; packages only if this run made them.
work="$out/builder-work" made=()
cleanup() { rm -rf "$work" "${made[@]}"; }
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"

# timed CMD...: "seconds peak_KiB" of one run of CMD, its output dropped.
timed() {
  if ! /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
    cat "$work/err" >&2
    echo "$0: failed: $*" >&2
    exit 1
  fi
  tail -n 1 "$work/time"
}
cmake_path() {
  local package=$1 tree="$work/cmake-path" configure building
  configure=$(timed cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DWIZARD_PACKAGE_DIR="$package" -DWIZARD_BUILD_TESTS=OFF)
  building=$(timed cmake --build "$tree" -j"$jobs" --target VELNORIX410aPackageE)
  echo "$configure $building" | awk '{printf "%.2f %d\n", $1 + $3, ($2 > $4 ? $2 : $4)}'
}
floor() {
  mkdir -p "$work/floor"
  timed sh -c 'cp "$@" "$0/" && sha256sum "$@"' "$work/floor" "${PAYLOAD_NAMES[@]/#/$1/}"
}
# fresh: before each run, no output of an earlier one, nothing left to write.
fresh() {
  rm -rf "$work/cmake-path" "$work/floor" "$work/wizard.exe" "$work/peer.exe"
  sync
}

# summary FILE: "median_seconds peak_MiB" of the runs in FILE.
summary() {
  echo "$(cut -d' ' -f1 "$1" | median) $(awk '$2 > m {m = $2} END {printf "%.1f", m / 1024}' "$1")"
}
rows=() sample_s='' worst_ratio=0 worst_ratio_at='' worst_peak=0 worst_peak_at=''
row() {
  local name=$1 package=$2 i
  nsis_peer "$work/peer.nsi" "$work/peer.exe" "$package"
  cat "${PAYLOAD_NAMES[@]/#/$package/}" >/dev/null
  : >"$work/makewizard" && : >"$work/cmake" && : >"$work/makensis" && : >"$work/floor-runs"
  # Interleaved, so that all four meet the same load from the machine's
  # other users.
  for i in $(seq "$runs"); do
    fresh && timed "$makewizard" build "$stub" "$package" "$work/wizard.exe" >>"$work/makewizard"
    fresh && timed makensis -V1 "$work/peer.nsi" >>"$work/makensis"
    fresh && floor "$package" >>"$work/floor-runs"
    if [ "$i" -le "$cmake_runs" ]; then
      fresh && cmake_path "$package" >>"$work/cmake"
    fi
  done
  fresh
  local mw_s mw_mib cm_s cm_mib ns_s ns_mib fl_s ratio
  read -r mw_s mw_mib <<<"$(summary "$work/makewizard")"
  read -r cm_s cm_mib <<<"$(summary "$work/cmake")"
  read -r ns_s ns_mib <<<"$(summary "$work/makensis")"
  read -r fl_s _ <<<"$(summary "$work/floor-runs")"
  ratio=$(awk -v a="$mw_s" -v b="$fl_s" 'BEGIN {printf (b > 0 ? "%.2f" : "-"), (b > 0 ? a / b : 0)}')
  rows+=("| $name | $mw_s | $mw_mib | $cm_s | $cm_mib | $ns_s | $ns_mib | $fl_s | $ratio |")
  if [ -z "$sample_s" ]; then
    sample_s=$mw_s
  elif awk -v a="$ratio" -v b="$worst_ratio" 'BEGIN {exit !(a > b)}'; then
    worst_ratio=$ratio worst_ratio_at=$name
  fi
  if awk -v a="$mw_mib" -v b="$worst_peak" 'BEGIN {exit !(a > b)}'; then
    worst_peak=$mw_mib worst_peak_at=$name
  fi
}

package "$out/builder-sample" sample
sample_mib=$(cat "${PAYLOAD_NAMES[@]/#/$out/builder-sample/}" | wc -c | awk '{printf "%.1f", $1 / 1048576}')
row "sample ($sample_mib MiB)" "$out/builder-sample"
for mib in $sizes_mib; do
  [ -d "$out/package-$mib" ] || made+=("$out/package-$mib")
  echo "Measuring $mib MiB..." >&2
  package "$out/package-$mib" $((mib * 1024 * 1024))
  name="$mib MiB"
  [ "$mib" = 1024 ] && name="1 GiB"
  row "$name" "$out/package-$mib"
done

# verdict FIGURE LIMIT: "met" or by how much it is over.
verdict() {
  awk -v a="$1" -v b="$2" 'BEGIN {if (a <= b) print "met"; else printf "missed by %.0f %%", 100 * (a - b) / b}'
}
{
  echo "makewizard build beside the CMake path (fresh tree, -j$jobs), makensis and the floor: median of $runs runs (CMake path: $cmake_runs), seconds; peak resident memory of any run, MiB."
  echo
  echo "| size | makewizard s | makewizard peak MiB | CMake path s | CMake path peak MiB | makensis s | makensis peak MiB | floor (cp+sha256sum) s | makewizard / floor |"
  echo "|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Goals: the sample in at most 0.1 s: $(verdict "$sample_s" 0.1) ($sample_s s)." \
    "At most 1.5 times the floor from 256 MiB up: $(verdict "$worst_ratio" 1.5) (largest: $worst_ratio at $worst_ratio_at)." \
    "Peak at most 64 MiB at every size: $(verdict "$worst_peak" 64) (largest: $worst_peak MiB at $worst_peak_at)."
  echo
  echo "Machine: $(nproc) cores ($(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)), $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), Debian $(cat /etc/debian_version) on $(findmnt -n -o FSTYPE -T "$out"); NSIS $(makensis -VERSION), $(sha256sum --version | head -n 1); $(date -u +%F)"
} | tee "$out/builder.md"
