#!/usr/bin/env bash
# start | stop | restart: brings up (or ends, or renews) the display and the
# Wine session that a test run shares. The prefix is made on first use and kept between runs.
set -u
. "$(dirname "$0")/wine-env.sh"
state="$BUILD_DIR/wine"
mkdir -p "$state"

start() {
  if [ ! -f "$state/xvfb.pid" ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
    local n=97
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    echo ":$n" >"$state/display"
    # a busy machine can take a while to bring the server up
    for _ in $(seq 600); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "wine: Xvfb :$n did not come up" >&2; exit 1; }
  fi
  export DISPLAY=$(cat "$state/display")
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX"
    "${KETRA_WINE[@]}" wineboot -i >/dev/null 2>&1
    "${KETRA_WINESERVER[@]}" -w
    if [ ${#KETRA_WINE[@]} -gt 1 ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
      echo "wine: the prefix has no 32-bit system: is the i386 part set up (tools/setup.sh)?" >&2
      rm -rf "$WINEPREFIX"
      exit 1
    fi
    # Plain folders instead of links into the home folder, so nothing an
    # uninstall removes can reach outside the prefix.
    for d in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
    done
  fi
  "${KETRA_WINESERVER[@]}" -p >/dev/null 2>&1
  # a first trivial process brings the session up
  "${KETRA_WINE[@]}" cmd /c exit >/dev/null 2>&1 || true
}

# A new Wine session on the same display: what a restart of the machine is
# to the tests (pending file operations are carried out), and the way back
# to a working desktop after a test has ended the session's processes.
restart() {
  export DISPLAY=$(cat "$state/display")
  "${KETRA_WINESERVER[@]}" -k >/dev/null 2>&1 || true
  "${KETRA_WINESERVER[@]}" -w >/dev/null 2>&1 || true
  "${KETRA_WINESERVER[@]}" -p >/dev/null 2>&1
  session_ready
}

# The session takes processes once a trivial one runs to its end with the code
# it chose; on a busy machine the first tries after a renewal may not.
session_ready() {
  local code
  for _ in $(seq 30); do
    "${KETRA_WINE[@]}" cmd /c exit 7 >/dev/null 2>&1
    code=$?
    [ $code = 7 ] && return 0
    sleep 1
  done
  echo "wine: the renewed session runs no process (last exit code $code)" >&2
  exit 1
}

stop() {
  "${KETRA_WINESERVER[@]}" -k >/dev/null 2>&1 || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  restart) restart ;;
  *) echo "usage: $0 start|stop|restart" >&2; exit 2 ;;
esac
