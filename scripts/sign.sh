#!/usr/bin/env bash
# Signs a freshly linked program in place, for the build:
#   sign.sh PROGRAM OSSLSIGNCODE sign OPTIONS...
# osslsigncode writes the signed copy beside the program, which then takes
# its name. On any failure, or when interrupted, the program is deleted: no
# unsigned file stays under the signed name, and the next build links and
# signs it again instead of finding it up to date.
set -u
program=$1
shift
signed="$program.signing"

fail() {
  rm -f "$signed" "$program"
  echo "Signing failed: $program removed, the next build links and signs it again" >&2
  exit 1
}
trap fail INT TERM HUP

# osslsigncode 2.5 will not write over an existing file.
rm -f "$signed"
"$@" -in "$program" -out "$signed" || fail
# osslsigncode creates its output without the execute bits the linker set.
chmod --reference="$program" "$signed" && mv -f "$signed" "$program" || fail
