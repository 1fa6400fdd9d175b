#!/usr/bin/env bash
# Runs one Windows program under Wine in the test environment; used by ctest as
# the cross-compiling emulator.
. "$(dirname "$0")/wine-env.sh"
: "${DISPLAY:=$(cat "$BUILD_DIR/wine/display" 2>/dev/null || true)}"
export DISPLAY

# A test program prints its banner before anything else, so one that ended
# with an error and printed nothing at all never ran: Wine, on a busy
# machine, now and then fails to start a process. Only then is it started
# again (at most three tries, a line on stderr each time); any run that got
# as far as printing is reported as it ended.
case "$*" in
*--gtest_filter=*)
  out=$(mktemp)
  for try in 1 2 3; do
    "${KETRA_WINE[@]}" "$@" >"$out" 2>&1
    rc=$?
    if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ "$try" -lt 3 ]; then
      echo "wine-run: $1 printed nothing and ended with $rc: it never started; starting it again" >&2
      sleep 2
      continue
    fi
    break
  done
  cat "$out"
  rm -f "$out"
  exit "$rc"
  ;;
esac
exec "${KETRA_WINE[@]}" "$@"
