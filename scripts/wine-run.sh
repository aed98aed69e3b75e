#!/bin/sh
# Runs a Windows program of the build under Wine, in the prefix the caller
# names (the build's own), quietly. A 64-bit prefix (WINEARCH=win64) is
# started with the 64-bit loader itself: Debian's `wine` is the 32-bit one,
# which cannot start on a host that runs no 32-bit code.
: "${WINEPREFIX:?set WINEPREFIX to the build's Wine prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
. "$(dirname "$0")/wine-loader.sh"
exec "$(wine_loader "${WINEARCH:-win32}")" "$@"
