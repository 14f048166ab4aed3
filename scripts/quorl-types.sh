#!/usr/bin/env bash
# Builds the command-line tool (default preset) and runs it; without arguments it prints a summary of
# what the runtime has registered.
#   scripts/quorl-types.sh [command and arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target quorl-types >/dev/null
if [ "$#" -eq 0 ]; then
  set -- summary
fi
exec build/default/tools/quorl-types/quorl-types "$@"
