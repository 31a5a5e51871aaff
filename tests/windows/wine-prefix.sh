#!/usr/bin/env bash
# A Wine prefix of the tests' own, and its server kept running between them:
#   wine-prefix.sh start|stop
# WINEPREFIX names it; it is made on first use (about 10 s).
set -eu
export WINEDEBUG=-all WINEARCH=win64
case $1 in
  start)
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      # A 64-bit-only Wine fails the 32-bit half of the set-up, and says so in
      # its status; the prefix is made all the same.
      wineboot -i >"$WINEPREFIX.log" 2>&1 || true
      wineserver -w  # the registry reaches its files when the server ends
      [[ -f $WINEPREFIX/system.reg ]] || { cat "$WINEPREFIX.log"; exit 1; }
    fi
    wineserver -p >/dev/null 2>&1 </dev/null
    ;;
  stop) wineserver -k >/dev/null 2>&1 || true ;;
esac
