#!/usr/bin/env bash
# Builds the project with a preset (default: "default") and runs its test suite.
#   scripts/test.sh [preset] [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
shift || true
bash scripts/setup.sh "$preset"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" "$@"
