# Sourced: which build of the wizard this host can run under Wine.
# Some x86_64 hosts run no 32-bit code at all ("IA-32 emulation off"), and
# Debian's 32-bit Wine loader then fails with "Exec format error". Found out
# by trying, not by reading kernel settings: a tiny 32-bit console program
# is run in the 32-bit build's Wine prefix (which the first run creates).
# WIZARD_TEST_64BIT_BUILD=1 takes the 64-bit path on a host that could run
# both, to test that path.
#
# probe_host BUILD_DIR_32: sets HOST_RUNS_32BIT (yes or no) and HOST_KIND_WHY.
probe_host() {
  local build=$1
  if [ -n "${WIZARD_TEST_64BIT_BUILD:-}" ]; then
    HOST_RUNS_32BIT=no
    HOST_KIND_WHY="the 64-bit path was asked for (WIZARD_TEST_64BIT_BUILD=$WIZARD_TEST_64BIT_BUILD)"
    return
  fi
  # A Debian host whose 32-bit Wine could not be installed (install-deps.sh
  # says so) has its answer without waiting on a loader that is not there.
  if command -v dpkg >/dev/null 2>&1 && ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    HOST_RUNS_32BIT=no
    HOST_KIND_WHY="this host cannot run 32-bit programs: 32-bit Wine (wine32:i386) is not installed"
    return
  fi
  local probe="$build/probe-32bit.exe" out="$build/probe-32bit.out"
  mkdir -p "$build"
  i686-w64-mingw32-gcc -O2 -s -o "$probe" "$(dirname "${BASH_SOURCE[0]}")/probe-32bit.c"
  # Long enough for Wine to create the prefix (under a minute on a busy
  # 2-core machine), short enough to give up on an emulated one.
  if WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all \
     timeout 180 wine "$probe" >"$out" 2>&1 </dev/null &&
     grep -q "32-bit Windows programs run here" "$out"; then
    HOST_RUNS_32BIT=yes
    HOST_KIND_WHY="this host runs 32-bit programs"
  else
    HOST_RUNS_32BIT=no
    local said
    said=$(grep -v '^$' "$out" | tail -n 1)
    HOST_KIND_WHY="this host cannot run 32-bit programs: ${said:-the probe gave up after 180 s}"
  fi
}
