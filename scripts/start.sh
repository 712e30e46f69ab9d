#!/usr/bin/env bash
# Installs what is missing, builds Tolv and starts it on the bundled demo key rings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd demo
# Without an argument Tolv reads tolv.ini in the current folder.
exec ../build/bin/tolv
