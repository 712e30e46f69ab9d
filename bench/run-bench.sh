#!/usr/bin/env bash
# Times the same work for Tolv (tolv-cli and the windows) and for gpg, sq
# and rnp on this machine, in one run, with the same keys and data, and
# writes its section of bench/RESULTS.md (one per size; the rest of the file
# is kept). Whole-process wall times (median of RUNS) and peak memory from
# /usr/bin/time.
#   bench/run-bench.sh [SIZE_MIB] [RUNS] [PEERS] [all|jobs]
# PEERS is a comma-separated list (default gpg,sq,rnp); "jobs" leaves out
# the key list and start-up rows, which do not depend on the size.
# KEY=rsa in the environment signs and encrypts with RSA-3072 keys instead
# of Ed25519/Cv25519; its sections are apart from the others.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib="${1:-256}"
runs="${2:-3}"
peers=",${3:-gpg,sq,rnp},"
rows="${4:-all}"
has() { [[ "$peers" == *",$1,"* ]]; }
bin="$PWD/build/bin"
[ -x "$bin/tolv-cli" ] || scripts/build.sh
work="$PWD/bench/work"
rm -rf "$work"
mkdir -p "$work"
results="$PWD/bench/RESULTS.md"
trap 'gpgconf --homedir "$work/gnupg" --kill all 2>/dev/null || true; gpgconf --homedir "$work/gnupg-big" --kill all 2>/dev/null || true' EXIT

echo "== keys"
mkdir -m 700 "$work/gnupg"
G=(gpg --homedir "$work/gnupg" --batch --yes --quiet --trust-model always --no-auto-check-trustdb)
key="${KEY:-ed25519}"
primary=ed25519 subkey=cv25519 keyname="Ed25519/Cv25519"
[ "$key" = rsa ] && primary=rsa3072 subkey=rsa3072 keyname="RSA-3072"
"${G[@]}" --passphrase '' --quick-generate-key "Bench Key <bench@example.org>" "$primary" sign,cert never 2>/dev/null
fpr=$("${G[@]}" --list-keys --with-colons 2>/dev/null | awk -F: '/^fpr/{print $10; exit}')
"${G[@]}" --passphrase '' --quick-add-key "$fpr" "$subkey" encr never 2>/dev/null
"${G[@]}" --export "$fpr" > "$work/pub.pgp"
"${G[@]}" --export-secret-keys "$fpr" > "$work/sec.pgp"
printf 'x\n' > "$work/pass"
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s\nSecRing=%s\n' "$work/pub.pgp" "$work/sec.pgp" > "$work/tolv.ini"
mkdir -p "$work/rnp"
cp "$work/pub.pgp" "$work/rnp/pubring.gpg"
cp "$work/sec.pgp" "$work/rnp/secring.gpg"
sq dearmor < /dev/null > /dev/null 2>&1 || true

echo "== data (${size_mib} MiB each)"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/random.bin"
python3 - "$work/text.txt" "$((size_mib * 1024 * 1024))" <<'PY'
import random, sys
random.seed(7)
words = ("the of and to in is that for it as was with be by on not he this are or his from at which but have an "
         "they you were her she there been one all we their has would when if so what out up about more can said "
         "key message ring passphrase signature encrypt decrypt window frame settings").split()
target = int(sys.argv[2])
with open(sys.argv[1], "w") as f:
    written = 0
    while written < target:
        line = " ".join(random.choice(words) for _ in range(random.randint(6, 14))) + ".\n"
        f.write(line)
        written += len(line)
PY
truncate -s "$((size_mib * 1024 * 1024))" "$work/text.txt"

# measure NAME COMMAND...: runs the command RUNS times; prints "median_s peak_kib".
measure() {
  local times=() peak=0 t m
  for ((r = 0; r < runs; r++)); do
    [ -z "${fresh:-}" ] || rm -f "$fresh"  # every run writes a new file, as a first run does
    /usr/bin/time -f "%e %M" -o "$work/time.out" "$@" > /dev/null 2> "$work/err.out" || {
      echo "FAILED: $*" >&2; cat "$work/err.out" >&2; echo "nan 0"; return; }
    read -r t m < "$work/time.out"
    times+=("$t")
    (( m > peak )) && peak=$m
  done
  local med
  med=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "$med $peak"
}

TOLV=("$bin/tolv-cli" --ini "$work/tolv.ini")
GE=(gpg --homedir "$work/gnupg" --batch --yes --quiet --trust-model always --no-auto-check-trustdb)
sqkey="$work/sq.key"
"${G[@]}" --armor --export-secret-keys "$fpr" > "$sqkey"
sqcert="$work/sq.cert"
"${G[@]}" --armor --export "$fpr" > "$sqcert"
R=(rnp --homedir "$work/rnp" --password x --overwrite --notty)

declare -A T M
row() {  # row KEY COMMAND...  (a peer's row only when that peer is asked for)
  local key="$1"; shift
  case "$key" in tolv.*) ;; *) has "${key%%.*}" || return 0 ;; esac
  read -r T[$key] M[$key] < <(measure "$@")
  printf '  %-22s %8s s %10s KiB\n' "$key" "${T[$key]}" "${M[$key]}"
}

echo "== row 1: sign+encrypt random, binary"
fresh="$work/r.tolv.pgp" row tolv.enc.bin "${TOLV[@]}" encode --signer bench@ --recipient bench@ --passphrase-file "$work/pass" "$work/random.bin" "$work/r.tolv.pgp"
fresh="$work/r.gpg.pgp" row gpg.enc.bin "${GE[@]}" -u "$fpr" -r "$fpr" -se -o "$work/r.gpg.pgp" "$work/random.bin"
fresh="$work/r.sq.pgp" row sq.enc.bin sh -c "sq encrypt --binary --recipient-cert '$sqcert' --signer-key '$sqkey' '$work/random.bin' > '$work/r.sq.pgp'"
fresh="$work/r.rnp.pgp" row rnp.enc.bin "${R[@]}" -e -s -r "$fpr" -u "$fpr" --output "$work/r.rnp.pgp" "$work/random.bin"

echo "== row 2: sign+encrypt text, armoured"
fresh="$work/t.tolv.asc" row tolv.enc.txt "${TOLV[@]}" encode --armor --signer bench@ --recipient bench@ --passphrase-file "$work/pass" "$work/text.txt" "$work/t.tolv.asc"
fresh="$work/t.gpg.asc" row gpg.enc.txt "${GE[@]}" --armor -u "$fpr" -r "$fpr" -se -o "$work/t.gpg.asc" "$work/text.txt"
fresh="$work/t.sq.asc" row sq.enc.txt sh -c "sq encrypt --recipient-cert '$sqcert' --signer-key '$sqkey' '$work/text.txt' > '$work/t.sq.asc'"
fresh="$work/t.rnp.asc" row rnp.enc.txt "${R[@]}" -e -s --armor -r "$fpr" -u "$fpr" --output "$work/t.rnp.asc" "$work/text.txt"
for f in t.tolv.asc t.gpg.asc t.sq.asc t.rnp.asc; do [ -f "$work/$f" ] && printf '  size %-12s %12d bytes\n' "$f" "$(stat -c %s "$work/$f")"; done

echo "== row 3: decrypt+verify"
for made in tolv gpg; do
  for kind in r t; do
    in="$work/$kind.$made.pgp"; [ "$kind" = t ] && in="$work/$kind.$made.asc"
    fresh="$work/out.tolv" row tolv.dec.$kind.$made "${TOLV[@]}" decode --passphrase-file "$work/pass" "$in" "$work/out.tolv"
    fresh="$work/out.gpg" row gpg.dec.$kind.$made "${GE[@]}" -o "$work/out.gpg" -d "$in"
    fresh="$work/out.sq" row sq.dec.$kind.$made sh -c "sq decrypt --recipient-key '$sqkey' --signer-cert '$sqcert' '$in' > '$work/out.sq'"
    fresh="$work/out.rnp" row rnp.dec.$kind.$made "${R[@]}" -d --output "$work/out.rnp" "$in"
  done
done
cmp -s "$work/out.tolv" "$work/text.txt" && echo "  tolv output matches"

echo "== row 6: the windows (offscreen): longest GUI stall and peak memory per step"
gui_random=$("$bin/bench_gui_stall" demo/pubring.pgp demo/secring.pgp "$size_mib" random 2>/dev/null)
echo "$gui_random"
gui_text=$("$bin/bench_gui_stall" demo/pubring.pgp demo/secring.pgp "$size_mib" text 2>/dev/null)
echo "$gui_text"
# Target: a keystroke in the key list's search field under 100 ms on 10,000 keys.
key_filter=$(QT_QPA_PLATFORM=offscreen "$bin/bench_key_filter" 10000 2>/dev/null)
echo "$key_filter"

startup="" bigfill=""
if [ "$rows" = all ]; then
echo "== row 4: list keys with certifications (10,000 keys)"
bench/make-big-ring.sh 10000
big="$PWD/bench/data/big-pubring.pgp"
: > "$work/empty.pgp"
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s\nSecRing=%s\n' "$big" "$work/empty.pgp" > "$work/big.ini"
mkdir -m 700 "$work/gnupg-big"
gpg --homedir "$work/gnupg-big" --batch --quiet --import "$big" 2>/dev/null
mkdir -p "$work/rnp-big"
cp "$big" "$work/rnp-big/pubring.gpg"
# Tolv remembers good signature results beside the rings: once with
# nothing remembered, then as every later run finds it.
row tolv.keys.cold env TOLV_NO_SIGNATURE_CACHE=1 "$bin/tolv-cli" --ini "$work/big.ini" keys
"$bin/tolv-cli" --ini "$work/big.ini" keys > /dev/null
row tolv.keys "$bin/tolv-cli" --ini "$work/big.ini" keys
row gpg.keys gpg --homedir "$work/gnupg-big" --batch --no-auto-check-trustdb --list-sigs
row sq.keys sq inspect --certifications "$big"
row rnp.keys rnpkeys --homedir "$work/rnp-big" --list-keys --with-sigs

echo "== row 5: start-up"
row tolv.start env QT_QPA_PLATFORM=offscreen TOLV_EXIT_WHEN_SHOWN=1 "$bin/tolv" "$work/tolv.ini"
startup=$("$bin/bench_sdk_startup" demo/pubring.pgp demo/secring.pgp 9)
echo "$startup"
bigfill=$(echo "nothing remembered:"; TOLV_NO_SIGNATURE_CACHE=1 "$bin/bench_sdk_startup" "$big" "$work/empty.pgp" 1
          echo "signature results remembered:"; "$bin/bench_sdk_startup" "$big" "$work/empty.pgp" 3)
echo "$bigfill"
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && b > 0) printf "%.2f", a / b; else print "n/a" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
section="$work/section.md"
{
  echo "## ${size_mib} MiB, $keyname keys"
  echo
  echo "Made by \`KEY=$key bench/run-bench.sh $*\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "- Machine: $(nproc) cores, $(awk -F: '/model name/ {print $2; exit}' /proc/cpuinfo | sed 's/^ //'), $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)"
  echo "- Versions: $(gpg --version | head -1), $(sq --version 2>&1 | head -1), $(rnp --version 2>&1 | head -1), Tolv's librnp $(sed -n 's/.*rnp_\([0-9.]*\)\.orig.*/\1/p' third_party/rnp/README* 2>/dev/null | head -1) with its patches"
  echo "- Data: ${size_mib} MiB of random bytes, ${size_mib} MiB of English-like text; one $keyname key for every tool."
  echo "- Times are whole-process wall-clock medians of $runs runs; memory is peak resident size. tolv-cli streams its files."
  echo
  echo "| row | work | Tolv s | gpg s | sq s | rnp s | gpg/Tolv | sq/Tolv | rnp/Tolv | Tolv peak MiB |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
  line() {  # line ROW WORK KEYSUFFIX
    local t=${T[tolv.$3]:-} g=${T[gpg.$3]:-} s=${T[sq.$3]:-} r=${T[rnp.$3]:-}
    [ -n "$t" ] || return 0
    echo "| $1 | $2 | $t | ${g:--} | ${s:--} | ${r:--} | $(ratio "$g" "$t") | $(ratio "$s" "$t") | $(ratio "$r" "$t") | $(mib "${M[tolv.$3]}") |"
  }
  line 1 "sign+encrypt random, binary" enc.bin
  line 2 "sign+encrypt text, armoured" enc.txt
  line 3 "decrypt+verify random (Tolv's)" dec.r.tolv
  line 3 "decrypt+verify text (Tolv's)" dec.t.tolv
  line 3 "decrypt+verify random (gpg's)" dec.r.gpg
  line 3 "decrypt+verify text (gpg's)" dec.t.gpg
  line 4 "list 10,000 keys with certifications" keys
  line 4 "the same, nothing remembered" keys.cold
  echo
  echo "The ratios are how many times faster Tolv is (above 1: faster)."
  echo
  echo "Armoured text output sizes (row 2):"
  echo
  for f in t.tolv.asc t.gpg.asc t.sq.asc t.rnp.asc; do [ -f "$work/$f" ] && echo "- $f: $(stat -c %s "$work/$f") bytes"; done
  echo
  echo "Row 6, the windows (offscreen, demo rings; random data is encoded binary, text armoured). Memory target: at most 2.2 x input + 64 MiB = $(awk -v s="$size_mib" 'BEGIN {print 2.2*s+64}') MiB."
  echo
  echo '```'
  echo "$gui_random"
  echo "$gui_text"
  echo "$key_filter"
  echo '```'
  if [ -n "$startup" ]; then
    echo
    echo "Row 5, start-up: the frame is shown and the program has left again in ${T[tolv.start]} s (offscreen)."
    echo
    echo '```'
    echo "demo rings:"
    echo "$startup"
    echo "10,000-key ring:"
    echo "$bigfill"
    echo '```'
  fi
} > "$section"
# The section replaces the one of the same size between its markers; the
# rest of the file (hand-written analysis) stays.
python3 - "$results" "$section" "$size_mib MiB $key" <<'PY'
import sys, os
path, section, name = sys.argv[1], open(sys.argv[2]).read(), sys.argv[3]
begin, end = f"<!-- run-bench {name}: begin -->", f"<!-- run-bench {name}: end -->"
text = open(path).read() if os.path.exists(path) else "# Benchmark results\n\n"
block = f"{begin}\n{section}{end}\n\n"
if begin in text and end in text:
    text = text[:text.index(begin)] + block.rstrip("\n") + text[text.index(end) + len(end):]
else:
    # a new section goes after the others, before the hand-written ones
    last = text.rfind(": end -->")
    at = text.find("\n", last) + 2 if last >= 0 else text.find("\n\n") + 2
    text = text[:at] + block + text[at:]
open(path, "w").write(text)
PY
echo "wrote its section of $results"
