# Sourced by the test scripts: a private Wine world for one test run. It owns a
# throwaway WINEPREFIX, its own Xvfb display and its own wineserver, and takes
# all three down again, also when the run fails or is interrupted. The user's
# own ~/.wine and display are never touched. Programs run as scripts/lib/wine-route.sh
# decides (wine_run, wineserver_run).

. "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/lib/wine-route.sh"

wine_session_start() {
  wine_route_init || return 1
  TEMPLATE_SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/template-wine.XXXXXX")
  export WINEPREFIX="$TEMPLATE_SESSION_DIR/prefix"
  export WINEDEBUG=-all
  # No Mono or Gecko installers: nothing here needs them and they would ask.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  local fifo="$TEMPLATE_SESSION_DIR/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${TEMPLATE_WINE_SCREEN:-1280x1024}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  TEMPLATE_XVFB_PID=$!
  local number
  read -r -t 20 number <"$fifo" || { echo "wine-session: Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$number"

  mkdir -p "$WINEPREFIX"
  wineserver_run -p || true  # stay up between test processes: each start is then quick
  wine_run wineboot -i >/dev/null 2>&1 || true
  # Xvfb runs no window manager, and Wine's X11 driver waits for one each time a
  # managed window goes away (about 2 s a window); unmanaged windows do not wait.
  wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  : >"$WINEPREFIX/.template-session"
  export TEMPLATE_WINE_SESSION="$TEMPLATE_SESSION_DIR"
}

wine_session_stop() {
  [ -n "${TEMPLATE_SESSION_DIR:-}" ] || return 0
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver_run -k >/dev/null 2>&1 || true
    wineserver_run -w >/dev/null 2>&1 || true
  fi
  [ -n "${TEMPLATE_XVFB_PID:-}" ] && kill "$TEMPLATE_XVFB_PID" >/dev/null 2>&1 || true
  [ -n "${TEMPLATE_XVFB_PID:-}" ] && wait "$TEMPLATE_XVFB_PID" 2>/dev/null || true
  case "$TEMPLATE_SESSION_DIR" in
    */template-wine.*) rm -rf "$TEMPLATE_SESSION_DIR" ;;
  esac
  unset TEMPLATE_SESSION_DIR TEMPLATE_XVFB_PID TEMPLATE_WINE_SESSION
}
