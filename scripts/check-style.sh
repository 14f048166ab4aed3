#!/usr/bin/env bash
# The project's own C++ against .clang-format (clang-format 14), and the Python of the generator, the tests
# and the fuzz driver through pyflakes (Debian's python3-pyflakes).
#   scripts/check-style.sh          check, print what differs, exit 1 if anything does
#   scripts/check-style.sh --fix    rewrite the C++ files in place
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
status=0
clang-format --dry-run --Werror "${sources[@]}" || status=1
/usr/bin/python3 -m pyflakes generator tests fuzz || status=1
if [ "$status" -ne 0 ]; then
  echo "check-style: differences found (scripts/check-style.sh --fix formats the C++)" >&2
fi
exit "$status"
