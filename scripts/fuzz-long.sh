#!/usr/bin/env bash
# A long fuzzing campaign, at the lowest priority, that carries on where the
# last one stopped: each target starts from its committed corpus
# (tests/fuzz/corpus/TARGET), and afterwards the inputs that reached new
# code are merged back into it (libFuzzer's -merge=1 keeps only those), and
# one line per target is appended to tests/fuzz/CAMPAIGN.md. Findings are
# left in build-fuzz/findings/; the script then ends with status 1.
#   scripts/fuzz-long.sh [--seconds S | --runs N | N] [TARGET...]
# Default: 3600 seconds for each of the targets in tests/fuzz/targets.sh;
# a bare number N is --runs N.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-max_total_time=3600)
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    [0-9]*) limit=(-runs="$1"); shift ;;
    *) break ;;
  esac
done
source tests/fuzz/targets.sh
[ $# -gt 0 ] && fuzz_targets=("$@")
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLV_FUZZ=ON >/dev/null
nice -n 19 cmake --build build-fuzz -j"$(nproc)" >/dev/null
mkdir -p build-fuzz/findings
record=tests/fuzz/CAMPAIGN.md
commit=$(git rev-parse --short HEAD)$(git diff --quiet HEAD -- . ':!tests/fuzz/corpus' ':!tests/fuzz/CAMPAIGN.md' || echo "+changes")

# The coverage libFuzzer counts for a corpus, read without mutating it.
coverage_of() {
  # shellcheck disable=SC2046
  "build-fuzz/bin/$1" $(fuzz_flags "$1") -runs=0 "$2" 2>&1 | grep -o 'INITED cov: [0-9]*' | grep -o '[0-9]*$' || echo 0
}

# The committed corpus becomes its named seeds (kept whatever they reach)
# and the smallest set of other inputs, from it and from the run, that
# reaches all they reach together (libFuzzer names those by their SHA-1).
minimise() {
  local target="$1" corpus="$2" work="$3" merged
  merged=$(mktemp -d)
  # shellcheck disable=SC2046
  if nice -n 19 "build-fuzz/bin/$target" $(fuzz_flags "$target") -merge=1 "$merged" "$corpus" "$work" \
      > "build-fuzz/merge-$target.log" 2>&1; then
    find "$corpus" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
    cp -n "$merged"/* "$corpus"/ 2>/dev/null || true
    for seed in "$corpus"/*; do  # a named seed's own copy under its SHA-1 goes
      [[ "$(basename "$seed")" =~ ^[0-9a-f]{40}$ ]] && continue
      rm -f "$corpus/$(sha1sum < "$seed" | cut -c1-40)"
    done
  fi
  rm -rf "$merged"
}

status=0
for target in "${fuzz_targets[@]}"; do
  corpus="tests/fuzz/corpus/$target"
  work="build-fuzz/long-$target"
  rm -rf "$work" && mkdir -p "$work" "$corpus"
  cp "$corpus"/* "$work/" 2>/dev/null || true
  before=$(coverage_of "$target" "$work")
  # A slow unit is libFuzzer's remark, not a finding.
  findings_before=$(find build-fuzz/findings -name "$target-*" ! -name "*slow-unit*" | wc -l)
  start=$(date +%s)
  # shellcheck disable=SC2046
  # At nice 19 beside other work a run may wait long for the processor, and
  # libFuzzer's timeout counts wall-clock time: 20 s there is no hang.
  nice -n 19 "build-fuzz/bin/$target" $(fuzz_flags "$target") -timeout=300 "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "$work" > "build-fuzz/long-$target.log" 2>&1 || true
  seconds=$(( $(date +%s) - start ))
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "build-fuzz/long-$target.log" | grep -o '[0-9]*$' || echo 0)
  findings=$(( $(find build-fuzz/findings -name "$target-*" ! -name "*slow-unit*" | wc -l) - findings_before ))
  count_before=$(ls "$corpus" | wc -l)
  # After a finding the corpus stays as it was: the merge meets the same
  # fault, and libFuzzer then leaves inputs out of what it merged.
  [ "$findings" -eq 0 ] && minimise "$target" "$corpus" "$work"
  added=$(( $(ls "$corpus" | wc -l) - count_before ))
  after=$(coverage_of "$target" "$corpus")
  [ -f "$record" ] || printf '%s\n' "# Fuzzing campaigns" "" \
    "One line per target and run of \`scripts/fuzz-long.sh\`. Coverage is libFuzzer's count of edges reached by the" \
    "committed corpus before the run and after its new inputs were merged in." "" \
    "| date | commit | target | runs | seconds | runs/s | coverage | inputs added | findings |" \
    "|---|---|---|---:|---:|---:|---|---:|---:|" > "$record"
  echo "| $(date -u +%F) | $commit | $target | $runs | $seconds | $(( runs / (seconds > 0 ? seconds : 1) )) | $before → $after | $added | $findings |" >> "$record"
  total=$(awk -F'|' -v t="$target" '$4 ~ " "t" " {gsub(/ /, "", $5); s += $5} END {print s + 0}' "$record")
  echo "$target: $runs runs in ${seconds}s, coverage $before -> $after, $added inputs added, $findings findings; $total runs in all"
  [ "$findings" -eq 0 ] || status=1
done
exit $status
