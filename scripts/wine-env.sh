# Sourced by the Windows scripts: wine_for BUILD_DIR points Wine at the
# build's own prefix (made on first use) and keeps one Wine server running
# until the calling script ends. A server that shuts down on its idle timeout
# just as the next program connects makes that program fail ("recvmsg:
# Connection reset by peer"), which a long run of short programs would hit.
# Wine's own background processes (services, desktop) start with the first
# program and live as long as the server: they are started here, with their
# output going nowhere, so that they never hold a test runner's pipes open.
wine_for() {
  export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all
  mkdir -p "$1"
  [[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1
  trap 'wineserver -k 2>/dev/null || true' EXIT
}
