#!/usr/bin/env bash
# Runs a Windows program under Wine with the DLLs of Qt and MinGW on its path:
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Wine's helpers inherit the standard outputs and keep them open, so a caller
# that reads them through a pipe (ctest does) would wait for ever: the program
# writes to files, which are copied out once it has ended.
set -u
export WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64
# Z: is Wine's drive for the root of the Linux file system.
windows_dirs=()
IFS=: read -r -a dirs <<<"${ZELQON_WINE_DLL_DIRS:-}"
for dir in "${dirs[@]}"; do windows_dirs+=("Z:${dir//\//\\}"); done
WINEPATH=$(IFS=';'; echo "${windows_dirs[*]}")
export WINEPATH
out=$(mktemp) err=$(mktemp)
[[ -n ${ZELQON_TEST_LOG:-} ]] && rm -f "$ZELQON_TEST_LOG"
wine "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
[[ -n ${ZELQON_TEST_LOG:-} && -f $ZELQON_TEST_LOG ]] && cat "$ZELQON_TEST_LOG"
rm -f "$out" "$err"
exit "$status"
