#!/usr/bin/env bash
# Installs what is missing, builds Tolv and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh "${1:-}"
dir=build
[ "${1:-}" = "sanitize" ] && dir=build-sanitize
export QT_QPA_PLATFORM=offscreen
(cd "$dir" && ctest --output-on-failure -j"$(nproc)")
# The ordinary build is also installed and checked as a user gets it.
if [ "$dir" = build ]; then
  scripts/install-check.sh build
fi
