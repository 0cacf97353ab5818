#!/usr/bin/env bash
# Every C++ file of the tree as Debian's clang-format (.clang-format) writes it.
# Exit 1 with the files that differ; `clang-format -i FILE` mends one.
#   scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "not as clang-format writes them (clang-format -i mends each):" >&2
  grep -o '^[^:]*\.\(cpp\|h\):' <<<"$out" | sort -u | sed 's/:$//; s/^/  /' >&2
  exit 1
fi
echo "format: ${#files[@]} C++ files as clang-format writes them"
