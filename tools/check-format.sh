#!/usr/bin/env bash
# Checks that every C++ source of the tree is formatted as .clang-format
# says; lists the files that are not and fails. Fix them with
#   clang-format -i <file>...
# Takes a few seconds: it runs first in tools/test.sh.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
bad=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    bad=1
  fi
done
[ $bad -eq 0 ] && echo "format: ${#files[@]} files as .clang-format says"
exit $bad
