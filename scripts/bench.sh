#!/usr/bin/env bash
# Measures the wizard side by side with its floors and a peer, in one run,
# and prints one table (also written to build-bench/performance.md):
#   size:     the program's own overhead (a package of three empty files; the
#             sample build minus its payload) beside an NSIS installer of the
#             same files, uncompressed, with the same four pages
#   start-up: process start to the wizard window visible, beside a trivial
#             Win32 program that shows one window
#   the run:  Next on the Destination page to the Finish page, for the sample
#             and for packages of 256 MiB and 1 GiB, beside cp of the same
#             bytes twice plus one read
#   phases:   the run phase by phase inside the wizard (a build with phase
#             marks), beside the platform's own calls on the same bytes in the
#             same Wine (bench/PlatformFloor.cpp)
#   silence:  the longest time the wizard's window took to answer a message
#             during the run: ours, and while the shell's copy runs its loop
#   memory:   peak private bytes and peak working set during the run
# The size table is always the shipped 32-bit program's. The other tables
# come from the build this host can run (scripts/host-kind.sh): the 32-bit
# one, or else the 64-bit test build, named in the header; each ratio sets
# figures of one build beside its own floor.
# Usage: scripts/bench.sh [--quick]   (--quick: no 1 GiB package, fewer runs)
# It ends with the builder's table (scripts/bench-builder.sh), on the same packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-bench"
quick=${1:-}
runs=5 startups=11 sizes_mib="256 1024"
[ "$quick" = --quick ] && runs=2 startups=5 sizes_mib="256"

"$root/scripts/install-deps.sh"
command -v makensis >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q nsis >/dev/null
mkdir -p "$out"
. "$root/scripts/host-kind.sh"
probe_host "$out/sample"
if [ "$HOST_RUNS_32BIT" = yes ]; then
  toolchain="$root/cmake/i686-w64-mingw32.cmake" kind=win32 runs_in=""
  measured="the shipped 32-bit program"
else
  toolchain="$root/cmake/x86_64-w64-mingw32.cmake" kind=win64 runs_in="-x86_64"
  measured="the 64-bit test build ($HOST_KIND_WHY)"
fi
shipped_toolchain="$root/cmake/i686-w64-mingw32.cmake"
SAMPLE_PAYLOAD="$out/sample/sample-package"
. "$root/scripts/bench-packages.sh"

# build DIR PACKAGE [TARGETS...]: with the toolchain of the build that runs
# here, or with SHIPPED=1 the shipped one's.
build() {
  local dir=$1 package=$2 chain=$toolchain
  shift 2
  [ -n "${SHIPPED:-}" ] && chain=$shipped_toolchain
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$chain" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DWIZARD_PACKAGE_DIR="$package" -DWIZARD_BUILD_TESTS=ON >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target "$@" >/dev/null
}

size_of() { stat -c %s "$1"; }
payload_of() { cat "${PAYLOAD_NAMES[@]/#/$1/}" | wc -c; }
now_ms() { date +%s%3N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf (b > 0 ? "%.2f" : "-"), (b > 0 ? a / b : 0)}'; }

echo "Building the sample, the empty package and the large packages..." >&2
# The shipped program's sizes, and the sample's payload the packages share.
SHIPPED=1 build "$out/sample" "$root/resources/sample-package" VELNORIX410aPackageE
package "$out/empty-package" 0
SHIPPED=1 build "$out/empty" "$out/empty-package" VELNORIX410aPackageE
# What runs here: the wizard, its benchmark build, the driver and the floors.
sample="$out/sample$runs_in"
build "$sample" "$root/resources/sample-package" VELNORIX410aPackageE bench_wizard bench_driver \
  trivial_window platform_floor
for mib in $sizes_mib; do
  package "$out/package-$mib" $((mib * 1024 * 1024))
  build "$out/build-$mib$runs_in" "$out/package-$mib" VELNORIX410aPackageE bench_wizard
done

sample_payload="$SAMPLE_PAYLOAD"
nsis_peer "$out/peer.nsi" "$out/peer.exe" "$sample_payload"
makensis -V1 "$out/peer.nsi" >/dev/null

. "$root/scripts/wine-session.sh"
wine_session "$sample" "$kind" private
driver="$sample/tests/bench_driver.exe"
wizard_caption="ORVEN VELNORIX Serial Emulation Driver Ver.4.10a"

figure() { "$WINE" "$driver" "$@" | tr -d '\r'; }
value() { awk -v k="$1" '$1 == k {print $2}'; }

# The floor of a run: the bytes copied twice (staging, delivery) and read once.
floor_ms() {
  local package=$1 times=()
  for _ in $(seq "$runs"); do
    local staging="$out/floor-staging" target="$out/floor-target"
    rm -rf "$staging" "$target"
    mkdir -p "$staging" "$target"
    local start
    start=$(now_ms)
    cp "${PAYLOAD_NAMES[@]/#/$package/}" "$staging/"
    cp "$staging"/* "$target/"
    cat "$target"/* >/dev/null
    times+=($(($(now_ms) - start)))
  done
  rm -rf "$out/floor-staging" "$out/floor-target"
  printf '%s\n' "${times[@]}" | median
}

empty_overhead=$(size_of "$out/empty/bin/VELNORIX410aPackageE.exe")
sample_overhead=$(($(size_of "$out/sample/bin/VELNORIX410aPackageE.exe") - $(payload_of "$sample_payload")))
peer_overhead=$(($(size_of "$out/peer.exe") - $(payload_of "$sample_payload")))

# One start of each in turn, for the same reason as the phases below. The
# NSIS peer, a 32-bit program with the same pages, runs only where the
# 32-bit build does.
trivials="" startups_ms="" peer_startups=""
for _ in $(seq "$startups"); do
  trivials+=$(figure startup "$sample/tests/trivial_window.exe" "Trivial window" 1 | value startup_ms)$'\n'
  startups_ms+=$(figure startup "$sample/bin/VELNORIX410aPackageE.exe" "$wizard_caption" 1 | value startup_ms)$'\n'
  if [ "$HOST_RUNS_32BIT" = yes ]; then
    peer_startups+=$(figure startup "$out/peer.exe" "$NSIS_PEER_CAPTION" 1 | value startup_ms)$'\n'
  fi
done
trivial=$(echo "$trivials" | grep . | median)
startup=$(echo "$startups_ms" | grep . | median)
peer_startup=""
[ -z "$peer_startups" ] || peer_startup=$(echo "$peer_startups" | grep . | median)

rows=()
run_row() {
  local name=$1 exe=$2 package=$3 figures floor
  figures=$(figure run "$exe" "$runs")
  floor=$(floor_ms "$package")
  local ms private ws
  ms=$(echo "$figures" | value run_ms)
  private=$(echo "$figures" | value peak_private_bytes)
  ws=$(echo "$figures" | value peak_working_set)
  rows+=("| $name | $ms ms | $floor ms | $(ratio "$ms" "$floor") | $((private / 1024)) KiB | $((ws / 1024)) KiB |")
}
phase_rows=() silence_rows=()
# Each of them starts from the same memory: on this kind of machine fresh
# page cache gets several times slower to hand out once a few GiB of it
# have been written, so a run that follows another's writes, or their
# write-back, would measure that instead. Written data goes to the disk and
# the cache is emptied (as root; otherwise the runs simply take turns), then
# the programs are read into it again, as a download just saved would be.
settle() {
  sync
  [ -w /proc/sys/vm/drop_caches ] && echo 3 >/proc/sys/vm/drop_caches
  cat "$@" >/dev/null
}

# The check's methods, in Crc32c::Method's order (the phase log gives the
# chosen one's number), as WIZARD_CHECK_METHOD names them and as the table says.
check_methods=(instruction folding table)
declare -A check_method_row=(
  [instruction]="with the SSE4.2 instruction instead"
  [folding]="folding with SSE2 instead, as without SSE4.2"
  [table]="with the table instead, as without SSE2")

# The wizard's phases, the platform's floor and the wizard checking by each
# method, one run of each in turn, each from a settled machine.
phase_row() {
  local name=$1 build=$2 all="" floor="" m
  local -A forced=()
  local programs=("$build/bin/VELNORIX410aPackageE.exe" "$build/tests/bench_wizard.exe")
  for _ in $(seq "$runs"); do
    settle "${programs[@]}"
    all+=$(figure phases "$build/tests/bench_wizard.exe" 1)$'\n'
    settle "${programs[@]}"
    floor+=$("$WINE" "$sample/tests/platform_floor.exe" "$build/bin/VELNORIX410aPackageE.exe" 1 | tr -d '\r')$'\n'
    for m in "${check_methods[@]}"; do
      settle "${programs[@]}"
      forced[$m]+=$(WIZARD_CHECK_METHOD=$m figure phases "$build/tests/bench_wizard.exe" 1)$'\n'
    done
  done
  of() { echo "$1" | awk -v k="$2" '$1 == k {print $2}' | median; }
  worst() { echo "$1" | awk -v k="$2" '$1 == k {print $2}' | sort -n | tail -1; }
  share() { awk -v a="$1" -v b="$2" -v of="$3" 'BEGIN {printf "%.0f %% of %s", 100 * a / b, of}'; }
  local stage digest copy check cleanup inside fw fc fr fu total chosen
  stage=$(of "$all" stage_ms) digest=$(of "$all" payload_check_ms)
  copy=$(of "$all" copy_ms) check=$(of "$all" check_ms)
  cleanup=$(of "$all" cleanup_ms) inside=$(of "$all" inside_ms)
  chosen=${check_methods[$(of "$all" check_method | cut -d. -f1)]}
  fw=$(of "$floor" floor_write_ms) fc=$(of "$floor" floor_copy_ms) fr=$(of "$floor" floor_read_ms)
  fu=$(of "$floor" floor_cleanup_ms)
  total=$(awk -v a="$fw" -v b="$fc" -v c="$fr" -v d="$fu" 'BEGIN {printf "%.1f", a + b + c + d}')
  phase_rows+=("| $name | staging: write, with the payload check | $stage | $fw (WriteFile from the mapped resource, 1 MiB at a time) | $(ratio "$stage" "$fw") |")
  phase_rows+=("| | of which the payload check (CRC-32C, $chosen, the fastest here; staging and delivery) | $digest | | $(share "$digest" "$inside" "the run") |")
  local forced_check forced_inside
  for m in "${check_methods[@]}"; do
    forced_check=$(of "${forced[$m]}" payload_check_ms) forced_inside=$(of "${forced[$m]}" inside_ms)
    phase_rows+=("| | the payload check ${check_method_row[$m]} (whole run $forced_inside) | $forced_check | | $(share "$forced_check" "$forced_inside" "that run") |")
  done
  phase_rows+=("| | shell copy | $copy | $fc (SHFileOperationW) | $(ratio "$copy" "$fc") |")
  phase_rows+=("| | delivery check | $check | $fr (a plain read) | $(ratio "$check" "$fr") |")
  phase_rows+=("| | clean-up | $cleanup | $fu (DeleteFileW, RemoveDirectoryW) | $(ratio "$cleanup" "$fu") |")
  phase_rows+=("| | **whole run** | **$inside** | **$total** | **$(ratio "$inside" "$total")** |")
  silence_rows+=("| $name | $(worst "$all" silence_ours_ms) | $(worst "$all" silence_shell_copy_ms) |")
}

run_row "sample (3.6 MiB)" "$sample/bin/VELNORIX410aPackageE.exe" "$sample_payload"
phase_row "sample (3.6 MiB)" "$sample"
for mib in $sizes_mib; do
  run_row "$mib MiB" "$out/build-$mib$runs_in/bin/VELNORIX410aPackageE.exe" "$out/package-$mib"
  phase_row "$mib MiB" "$out/build-$mib$runs_in"
done

{
  echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $("$WINE" --version), Xvfb; $(date -u +%F)"
  echo
  echo "| size of the shipped 32-bit program | bytes | ratio to the NSIS peer |"
  echo "|---|---|---|"
  echo "| wizard overhead, package of three empty files | $empty_overhead | $(ratio "$empty_overhead" "$peer_overhead") |"
  echo "| wizard overhead, sample build minus payload | $sample_overhead | $(ratio "$sample_overhead" "$peer_overhead") |"
  echo "| NSIS $(makensis -VERSION) peer overhead (MUI2, uncompressed) | $peer_overhead | 1.00 |"
  echo
  echo "Start-up, run, phases and silence measure $measured."
  echo
  echo "| start-up (median of $startups) | ms | ratio to the trivial window | ratio to the NSIS peer |"
  echo "|---|---|---|---|"
  echo "| trivial Win32 window | $trivial | 1.00 | |"
  if [ -n "$peer_startup" ]; then
    echo "| wizard | $startup | $(ratio "$startup" "$trivial") | $(ratio "$startup" "$peer_startup") |"
    echo "| NSIS peer, the same pages | $peer_startup | $(ratio "$peer_startup" "$trivial") | 1.00 |"
  else
    echo "| wizard | $startup | $(ratio "$startup" "$trivial") | not measured: the 32-bit peer does not run here |"
  fi
  echo
  echo "| the run (median of $runs) | Next to Finish | reference: cp twice + read | ratio | peak private | peak working set |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "| phases (median of $runs, ms) | phase | wizard | platform floor, same Wine, same bytes | ratio |"
  echo "|---|---|---|---|---|"
  printf '%s\n' "${phase_rows[@]}"
  echo
  echo "| longest silence (worst of $runs, ms) | ours: staging, check, clean-up, pages | while the shell's copy runs |"
  echo "|---|---|---|"
  printf '%s\n' "${silence_rows[@]}"
} | tee "$out/performance.md"

# The builder's table, from the sample's build above.
{ echo; "$root/scripts/bench-builder.sh" ${quick:+"$quick"} --build "$out/sample"; } | tee -a "$out/performance.md"
