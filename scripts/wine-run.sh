#!/bin/sh
# Runs a Windows program of the build under Wine, in the prefix the caller
# names (the build's own), quietly.
: "${WINEPREFIX:?set WINEPREFIX to the build's Wine prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
