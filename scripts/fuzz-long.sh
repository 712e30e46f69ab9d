#!/usr/bin/env bash
# The long fuzzing run: each named target (default: all) until it has made
# RUNS executions (default 10 million), one after another, on the fuzz build
# that scripts/fuzz.sh makes. Prints each target's executions, time and
# coverage; findings go to build-fuzz/findings/.
#   scripts/fuzz-long.sh [RUNS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10000000}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_file_dialog fuzz_armour fuzz_cli_arguments fuzz_profile fuzz_secring
                                     fuzz_encode_options fuzz_keyring fuzz_decode)
[ -x build-fuzz/bin/fuzz_decode ] || scripts/fuzz.sh 1 > /dev/null
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/$target/* "$work/" 2>/dev/null || true
  start=$(date +%s)
  QT_QPA_PLATFORM=offscreen "build-fuzz/bin/$target" -runs="$runs" -timeout=20 -rss_limit_mb=4096 \
    -artifact_prefix="build-fuzz/findings/$target-" -print_final_stats=1 "$work" 2> "build-fuzz/long-$target.log" || {
    echo "$target: FAILED, see build-fuzz/long-$target.log"; continue; }
  printf '%s: %s runs in %s s, %s\n' "$target" \
    "$(grep -oP 'stat::number_of_executed_units: \K[0-9]+' "build-fuzz/long-$target.log")" "$(( $(date +%s) - start ))" \
    "$(grep -oP 'DONE +\K.*?(?= lim:| exec/s)' "build-fuzz/long-$target.log" | tail -1)"
done
