#!/usr/bin/env bash
# How fast each fuzz target runs on this machine, as a Markdown table on
# standard output. Two figures for each target:
#  - replay: its committed corpus read in without mutating (-runs=0), the
#    same inputs on every build, so two builds compare; inputs a second,
#    from the difference between reading it once and several times.
#  - fuzzing: SECONDS of fuzzing from a copy of the corpus with each of the
#    SEEDS (default "1 2 3"), runs a second after the corpus is read in. Which
#    inputs a run makes depends on what the build's coverage rewards, so
#    this figure moves more from build to build.
# Run it with nothing else busy: the two cores share their cache, and a
# second fuzzer beside it slows each by a fifth or more.
#   bench/fuzz-rates.sh [SECONDS] [TARGET...]   (default 60, every target;
#                                                0 measures the replay alone)
# BUILD=dir measures another fuzz build than build-fuzz (it is not built).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
source tests/fuzz/targets.sh
[ $# -gt 0 ] && fuzz_targets=("$@")
build="${BUILD:-build-fuzz}"
if [ -z "${BUILD:-}" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLV_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$(nproc)" >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# A field of libFuzzer's final statistics, or of its INITED line.
stat_of() { grep -o "$1: *[0-9]*" "$2" | head -1 | grep -o '[0-9]*$' || echo 0; }

# Seconds to start and read in the corpora given (-runs=0).
read_in() {
  local target="$1" start end
  shift
  start=$(now)
  # shellcheck disable=SC2046
  "$build/bin/$target" $(fuzz_flags "$target") -runs=0 "$@" > "$work/replay.log" 2>&1
  end=$(now)
  python3 -c "print($end - $start)"
}

# Runs a second after the corpus is read in (which takes INIT seconds),
# fuzzing with the given seed.
fuzzing() {
  local target="$1" seed="$2" init="$3" start end
  rm -rf "$work/corpus" && mkdir "$work/corpus"
  cp "tests/fuzz/corpus/$target"/* "$work/corpus/"
  start=$(now)
  # shellcheck disable=SC2046
  "$build/bin/$target" $(fuzz_flags "$target") -seed="$seed" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/corpus" > "$work/fuzz.log" 2>&1 || { tail -20 "$work/fuzz.log" >&2; return 1; }
  end=$(now)
  local inited runs
  inited=$(grep -P -o '#[0-9]+\tINITED' "$work/fuzz.log" | grep -o '[0-9]*' | head -1)
  runs=$(stat_of stat::number_of_executed_units "$work/fuzz.log")
  python3 -c "print(round(($runs - $inited) / ($end - $start - $init)))"
}

read -ra seeds <<< "${SEEDS:-1 2 3}"
[ "$seconds" = 0 ] && seeds=()
echo "| target | coverage | replay, inputs/s | fuzzing ${seconds} s, runs/s (seeds ${seeds[*]}) |"
echo "|---|---:|---:|---|"
for target in "${fuzz_targets[@]}"; do
  corpus="tests/fuzz/corpus/$target"
  count=$(find "$corpus" -type f | wc -l)
  # Read often enough for 5,000 inputs beyond the first reading, whose
  # time (with the start) is taken off.
  times=$(( count >= 5000 ? 2 : 1 + (5000 + count - 1) / count ))
  once=$(read_in "$target" "$corpus")
  coverage=$(stat_of 'INITED cov' "$work/replay.log")
  copies=()
  for _ in $(seq "$times"); do copies+=("$corpus"); done
  more=$(read_in "$target" "${copies[@]}")
  inputs=$(python3 -c "print(round($count * ($times - 1) / max($more - $once, 1e-3)))")
  rates=()
  for seed in "${seeds[@]}"; do rates+=("$(fuzzing "$target" "$seed" "$once")"); done
  joined=$(IFS=,; echo "${rates[*]}")
  echo "| $target | $coverage | $inputs | ${joined//,/, } |"
done
