#!/usr/bin/env bash
# Lists the C++ files git tracks whose text differs from what clang-format makes of it with the project's
# .clang-format, and exits 1 when there is any (0 when none, 2 when clang-format is missing).
#   scripts/check-format.sh          check
#   clang-format -i FILE...          mend the files it lists
# The same clang-format major version must format and check: Debian 12's, 14.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 2; }

# One clang-format run over all files (one process a file takes minutes on a busy machine); it names
# each drifting place as "FILE:LINE:COL: error: code should be clang-formatted".
report=$(git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc' |
         xargs -0 -r clang-format --style=file --dry-run -Werror --ferror-limit=1 2>&1 >/dev/null || true)
files=$(printf '%s\n' "$report" | sed -nE 's/^(.*):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' | sort -u)
other=$(printf '%s\n' "$report" | grep -E ': error: ' | grep -v 'code should be clang-formatted' || true)
[ -z "$other" ] || { printf '%s\n' "$other" >&2; echo "check-format: clang-format failed" >&2; exit 2; }
[ -z "$files" ] || printf '%s\n' "$files"
drifting=$(printf '%s' "$files" | grep -c . || true)

if [ "$drifting" -gt 0 ]; then
  echo "check-format: $drifting file(s) differ from .clang-format ($(clang-format --version | grep -o 'version [0-9.]*'));" \
       "clang-format -i them" >&2
  exit 1
fi
echo "check-format: every file follows .clang-format"
