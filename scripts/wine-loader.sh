# Sourced: the Wine loader for a prefix of each kind.
#   win32: Debian's `wine`, which runs 32-bit programs (and 64-bit ones,
#          through wine64, where both are installed);
#   win64: the 64-bit loader alone, which starts on every x86_64 host.
wine_loader() {
  case $1 in
    win64) echo /usr/lib/wine/wine64 ;;
    *) echo wine ;;
  esac
}
