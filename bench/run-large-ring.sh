#!/usr/bin/env bash
# Times one key with many user IDs (default 100,000), each self-certified:
# tolv-cli keys against RNP's own listing of the same ring. Prints
# whole-process wall time and peak memory. Needs python3-cryptography.
#   bench/run-large-ring.sh [USER_IDS]
set -euo pipefail
cd "$(dirname "$0")/.."
count="${1:-100000}"
bin="$PWD/build/bin"
[ -x "$bin/tolv-cli" ] || scripts/build.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make-many-uids.py "$work/pub.pgp" "$count"
: > "$work/empty.pgp"
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s\nSecRing=%s\n' "$work/pub.pgp" "$work/empty.pgp" > "$work/tolv.ini"
mkdir -p "$work/rnp"
cp "$work/pub.pgp" "$work/rnp/pubring.gpg"
run() {  # run NAME COMMAND...
  local name="$1"; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1
  read -r t m < "$work/time"
  printf '%-28s %7s s %6d MiB\n' "$name" "$t" "$((m / 1024))"
}
run "tolv-cli keys" "$bin/tolv-cli" --ini "$work/tolv.ini" keys
run "rnpkeys --list-keys" rnpkeys --homedir "$work/rnp" --list-keys
"$bin/bench_sdk_startup" "$work/pub.pgp" "$work/empty.pgp" 1
