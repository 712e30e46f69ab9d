#!/usr/bin/env bash
# Builds Tolv with the thread sanitizer into build-tsan/ and runs the tests
# that exercise threads: the SDK shared by two threads, the concurrency
# test, and the windows' workers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLV_TSAN=ON >/dev/null
cmake --build build-tsan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
cd build-tsan
ctest --output-on-failure -R 'test_pgpsdk_jobs|test_concurrency|test_windows|test_sdk_binding'
