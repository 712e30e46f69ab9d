#!/usr/bin/env bash
# Configures and builds Tolv into build/ (or build-<name>/ for a named variant).
#   scripts/build.sh            ordinary build
#   scripts/build.sh sanitize   address + undefined-behaviour sanitizer build,
#                               against the system's librnp (the ordinary
#                               build uses the bundled one, so the suite
#                               runs on both)
set -euo pipefail
cd "$(dirname "$0")/.."
variant="${1:-}"
dir=build
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "$variant" = "sanitize" ]; then
  dir=build-sanitize
  args=(-DCMAKE_BUILD_TYPE=Debug -DTOLV_SANITIZE=ON -DTOLV_SYSTEM_LIBRNP=ON)
fi
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
