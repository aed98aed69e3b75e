#!/bin/sh
# Writes a delay-load import library for a system DLL, with every function
# its ordinary import library names: the DLL is then loaded on first use,
# from the folders the program allows by then, not by the loader at start.
#   make-delay-lib.sh NM DLLTOOL OBJCOPY IMPORT_LIB DLL_NAME OUTPUT
set -eu
nm=$1 dlltool=$2 objcopy=$3 import_lib=$4 dll=$5 output=$6
def="$output.def"
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$import_lib" | sed -n 's/^.* I __imp__//p' | sort -u
} >"$def"
"$dlltool" --kill-at --input-def "$def" --dllname "$dll" --output-delaylib "$output.raw"
# dlltool puts the delay tables in .idata sections, which ld lays out as the
# ordinary import table and fills with zeros for i386: moved to sections of
# their own, they keep the addresses of the loading stubs.
"$objcopy" \
  --rename-section '.idata$2=.rdata$didat2' --rename-section '.idata$4=.rdata$didat4' \
  --rename-section '.idata$5=.data$didat5' --rename-section '.idata$6=.rdata$didat6' \
  --rename-section '.idata$7=.rdata$didat7' "$output.raw" "$output"
rm -f "$output.raw"
