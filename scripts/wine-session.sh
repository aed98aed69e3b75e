# Sourced by the scripts that run the wizard: a private X display when asked
# for (or when there is none), the build's own Wine prefix of the program's
# kind, and a persistent wineserver for it. Everything started here stops
# when the calling script exits.
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"

# wine_display [private]
wine_display() {
  if [ -n "${1:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_SESSION_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  trap wine_session_end EXIT
}

# wine_prefix BUILD_DIR win32|win64: prepares the build's prefix, starts its
# wineserver and leaves WINEPREFIX, WINEARCH and WINE set for it.
wine_prefix() {
  local build=$1
  export WINEPREFIX="$build/wineprefix" WINEARCH=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINE=$(wine_loader "$2")
  WINE_SESSION_PREFIXES+=("$WINEPREFIX")
  trap wine_session_end EXIT
  # Marked when done: a prefix that a first program created is finished here.
  if [ ! -f "$WINEPREFIX/.wizard-prepared" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
    # Wine does not find the fonts-wine package's fonts here by itself: without
    # them Tahoma falls back to another face and the caption buttons lose
    # their glyphs.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    # The toolkit's error messages are Japanese: Wine's dialog font falls back
    # to "MS UI Gothic" for them, which a Japanese font of Debian's stands in for.
    "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS UI Gothic" /d IPAGothic /f >/dev/null 2>&1
    # Without a window manager every dialog dismissal waits ~2 s unless Wine
    # manages its own windows.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.wizard-prepared"
  fi
  wineserver -p
  # Start Wine's desktop and services now, detached from our output: started
  # by a test instead, they would hold its output pipes open and ctest would
  # wait for them to close.
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
}

# wine_session BUILD_DIR win32|win64 [private]
wine_session() {
  wine_display "${3:-}"
  wine_prefix "$1" "$2"
}

wine_session_end() {
  local prefix
  for prefix in "${WINE_SESSION_PREFIXES[@]}"; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  [ -n "${WINE_SESSION_XVFB:-}" ] && kill "$WINE_SESSION_XVFB" 2>/dev/null || true
}
WINE_SESSION_PREFIXES=()
