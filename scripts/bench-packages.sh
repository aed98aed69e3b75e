# shellcheck shell=bash disable=SC2034,SC2154
# The packages and the NSIS peer both benchmarks measure, sourced by
# scripts/bench.sh and scripts/bench-builder.sh. The caller sets root and
# SAMPLE_PAYLOAD (the folder holding the sample's three files, made by a
# build of the sample).

PAYLOAD_NAMES=("VELNORIX410aE.exe" "VELNORIX_User'sManual.pdf" "ReadMe_E.txt")

# package DIR FILE1_BYTES: the sample's texts with a FILE1 of that many
# random bytes (or all three files empty for 0, or the sample's own three
# files for "sample") and the sample's other files. A FILE1 already there is
# kept, so that a second benchmark of the same size reuses it.
package() {
  local dir=$1 bytes=$2 sample="$root/resources/sample-package"
  mkdir -p "$dir"
  grep -v GENERATED_PAYLOAD "$sample/package.cmake" >"$dir/package.cmake"
  cp "$sample/agreement.txt" "$sample/program.ico" "$dir/"
  if [ "$bytes" = 0 ]; then
    : >"$dir/VELNORIX410aE.exe"
    : >"$dir/VELNORIX_User'sManual.pdf"
    : >"$dir/ReadMe_E.txt"
  elif [ "$bytes" = sample ]; then
    cp "$SAMPLE_PAYLOAD/VELNORIX410aE.exe" "$SAMPLE_PAYLOAD/VELNORIX_User'sManual.pdf" \
      "$SAMPLE_PAYLOAD/ReadMe_E.txt" "$dir/"
  else
    [ -s "$dir/VELNORIX410aE.exe" ] || head -c "$bytes" /dev/urandom >"$dir/VELNORIX410aE.exe"
    cp "$SAMPLE_PAYLOAD/VELNORIX_User'sManual.pdf" "$SAMPLE_PAYLOAD/ReadMe_E.txt" "$dir/"
  fi
}

# nsis_peer SCRIPT OUTFILE PAYLOAD_DIR: the NSIS peer of the wizard, the same
# three files with a licence, directory, progress and finish page,
# uncompressed.
nsis_peer() {
  local payload=$3
  cat >"$1" <<NSI
!include "MUI2.nsh"
Name "ORVEN VELNORIX"
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
  File "$payload/VELNORIX410aE.exe"
  File "$payload/VELNORIX_User'sManual.pdf"
  File "$payload/ReadMe_E.txt"
SectionEnd
NSI
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
