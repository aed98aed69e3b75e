# shellcheck shell=bash disable=SC2034,SC2154
# The packages and the NSIS peer both benchmarks measure, sourced by
# scripts/bench.sh and scripts/bench-builder.sh. The caller sets root, and
# SAMPLE_PAYLOAD (the folder holding the sample's three files, made by a
# build of the sample) before it makes a package.

# The three file names in payload order, from the package format the wizard
# and makewizard read.
payload_names=$(python3 "$root/tests/support/package_format.py" payload-names)
mapfile -t PAYLOAD_NAMES <<<"$payload_names"

# package DIR FIRST_FILE_BYTES: the sample's texts with a first file of that many
# random bytes (or all three files empty for 0, or the sample's own three
# files for "sample") and the sample's other files. A first file already there is
# kept, so that a second benchmark of the same size reuses it.
package() {
  local dir=$1 bytes=$2 sample="$root/resources/sample-package" name
  mkdir -p "$dir"
  grep -v GENERATED_PAYLOAD "$sample/package.cmake" >"$dir/package.cmake"
  cp "$sample/agreement.txt" "$sample/program.ico" "$dir/"
  for name in "${PAYLOAD_NAMES[@]}"; do
    if [ "$bytes" = 0 ]; then
      : >"$dir/$name"
    elif [ "$bytes" != sample ] && [ "$name" = "${PAYLOAD_NAMES[0]}" ]; then
      [ -s "$dir/$name" ] || head -c "$bytes" /dev/urandom >"$dir/$name"
    else
      cp "$SAMPLE_PAYLOAD/$name" "$dir/"
    fi
  done
}

# The peer's window title. NSIS shows it with a space after it, where a
# page's subcaption would go (none here); the start-up benchmark looks for
# the window by that caption.
NSIS_PEER_TITLE="ORVEN VELNORIX Setup"
NSIS_PEER_CAPTION="$NSIS_PEER_TITLE "

# nsis_peer SCRIPT OUTFILE PAYLOAD_DIR: the NSIS peer of the wizard, the same
# three files with a licence, directory, progress and finish page,
# uncompressed.
nsis_peer() {
  local payload=$3
  cat >"$1" <<NSI
!include "MUI2.nsh"
Name "ORVEN VELNORIX"
Caption "$NSIS_PEER_TITLE"
OutFile "$2"
SetCompress off
RequestExecutionLevel admin
InstallDir "\$EXEDIR"
!insertmacro MUI_PAGE_LICENSE "$root/resources/sample-package/agreement.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"
Section
  SetOutPath "\$INSTDIR"
$(printf '  File "%s"\n' "${PAYLOAD_NAMES[@]/#/$payload/}")
SectionEnd
NSI
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
