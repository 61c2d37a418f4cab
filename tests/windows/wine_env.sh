# Sourced by the wine scripts with $arch set to x86 or x86_64: picks wine's
# loader and server for that processor by their own names (Debian's `wine`
# wrapper picks the 32-bit loader whenever it is installed, even where the
# kernel cannot run 32-bit programs), and says whether this machine can.
case "$arch" in
  x86) WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 WINEARCH=win32 ;;
  x86_64) WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64 ;;
  *) echo "unknown processor: $arch" >&2; exit 2 ;;
esac
export WINELOADER WINESERVER WINEARCH
# VELA_WINEDEBUG: the channels a run wants, else none.
export WINEDEBUG=${VELA_WINEDEBUG:--all}
# Exit code that CTest takes for a skipped test.
skipped=77
wine_runs_here() {
  "$WINELOADER" --version >/dev/null 2>&1
}
