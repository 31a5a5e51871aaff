#!/usr/bin/env bash
# clang-format and clang-tidy over the project's own sources.
#   scripts/lint.sh BUILD_DIR
# BUILD_DIR must hold compile_commands.json (every preset writes one).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/lint.sh BUILD_DIR}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
status=0

echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}" || status=1

mapfile -t units < <(git ls-files 'protocol/*.cpp' 'serial/*.cpp' 'engine/*.cpp' 'ui/*.cpp' 'cli/*.cpp' 'app/*.cpp')
echo "clang-tidy: ${#units[@]} translation units"
report=$(run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${units[@]/#/$PWD/}" 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' | grep -E '(warning|error):' | sort -u || true)
if [[ -n $report ]]; then
  echo "$report"
  status=1
fi
[[ $status -eq 0 ]] && echo "lint: clean"
exit $status
