#!/bin/sh
# Writes a delay-load import library for a system DLL, with every function
# its ordinary import library names: the DLL is then loaded on first use,
# from the folders the program allows by then, not by the loader at start.
#   make-delay-lib.sh NM DLLTOOL OBJCOPY IMPORT_LIB DLL_NAME OUTPUT IMPORT_PREFIX
# IMPORT_PREFIX is how the import library's symbols begin: i386 names carry
# C's leading underscore (__imp__Name@N), x86_64 names do not (__imp_Name).
set -eu
nm=$1 dlltool=$2 objcopy=$3 import_lib=$4 dll=$5 output=$6 prefix=$7
def="$output.def"
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$import_lib" | sed -n "s/^.* I $prefix//p" | sort -u
} >"$def"
"$dlltool" --kill-at --input-def "$def" --dllname "$dll" --output-delaylib "$output.raw"
# dlltool puts the delay tables in .idata sections, which ld lays out as the
# ordinary import table and fills with zeros for i386: moved to sections of
# their own, they keep the addresses of the loading stubs.
#
# The descriptor finds the name table ($4) and the address table ($5) just
# behind the head object's own slot in each, and the tail object ends them.
# ld orders sections of one name by no rule we can rely on (x86_64's puts
# the functions before the head), so each object's sections are named for
# their place: the DLL, then head, functions, tail. The functions share a
# name, and ld keeps both tables in the same order, which is all the helper
# needs (it looks a function's name up at its slot's index).
ar=${objcopy%objcopy}ar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key=$(echo "$dll" | tr 'A-Z.' 'a-z_')
(cd "$work" && "$ar" x "$output.raw")
place() { # OBJECT PLACE
  "$objcopy" \
    --rename-section '.idata$2=.rdata$didat2' \
    --rename-section ".idata\$4=.rdata\$didat4_${key}_$2" \
    --rename-section ".idata\$5=.data\$didat5_${key}_$2" \
    --rename-section '.idata$6=.rdata$didat6' \
    --rename-section '.idata$7=.rdata$didat7' "$1"
}
members=$("$ar" t "$output.raw")
for member in $members; do
  case $member in
    *_h.o) place "$work/$member" a ;;
    *_t.o) place "$work/$member" c ;;
  esac
done
# The functions' objects in one call: there are hundreds.
functions=$(for member in $members; do
  case $member in *_h.o | *_t.o) ;; *) echo "$member" ;; esac
done)
(cd "$work" && "$ar" rcs functions.a $functions)
place "$work/functions.a" b
(cd "$work" && "$ar" x functions.a)
rm -f "$output"
(cd "$work" && "$ar" rcs "$output.part" $members) && mv "$output.part" "$output"
rm -f "$output.raw"
