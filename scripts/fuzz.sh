#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address + undefined-behaviour
# sanitizers) into build-fuzz/ and runs each for SECONDS (default 60) on a
# copy of its seed corpus. Findings are left in build-fuzz/findings/.
#   scripts/fuzz.sh [SECONDS]
# FUZZ_SEED picks libFuzzer's seed (default 1, so CI runs are repeatable;
# 0 lets libFuzzer choose).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLV_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/findings
source tests/fuzz/targets.sh
status=0
for target in "${fuzz_targets[@]}"; do
  work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/$target/* "$work/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  # shellcheck disable=SC2046
  if ! "build-fuzz/bin/$target" $(fuzz_flags "$target") -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" \
      -artifact_prefix="build-fuzz/findings/$target-" -print_final_stats=1 "$work" 2> "build-fuzz/$target.log"; then
    status=1
    tail -40 "build-fuzz/$target.log"
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "build-fuzz/$target.log" | tail -2 || true
done
exit $status
