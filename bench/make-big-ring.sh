#!/usr/bin/env bash
# Makes a public key ring of N Ed25519 keys (default 10000), each certified
# by two other keys of the ring, for the key-list benchmarks. The result is
# bench/data/big-pubring.pgp (not committed; made again when missing).
set -euo pipefail
cd "$(dirname "$0")"
count="${1:-10000}"
out="data/big-pubring.pgp"
mkdir -p data
[ -s "$out" ] && [ "$(cat data/big-count 2>/dev/null)" = "$count" ] && exit 0
home=$(mktemp -d)
trap 'gpgconf --homedir "$home" --kill all 2>/dev/null || true; rm -rf "$home"' EXIT
chmod 700 "$home"
g() { gpg --homedir "$home" --batch --quiet --yes --no-auto-check-trustdb --trust-model always "$@"; }
python3 - "$count" > "$home/params" <<'PY'
import sys
for i in range(int(sys.argv[1])):
    print(f"Key-Type: eddsa\nKey-Curve: ed25519\nKey-Usage: sign,cert\nName-Real: Bench User {i:05d}\n"
          f"Name-Email: user{i:05d}@bench.example\nExpire-Date: 0\n%no-protection\n%commit")
PY
g --generate-key "$home/params" 2>/dev/null
mapfile -t fprs < <(g --list-keys --with-colons 2>/dev/null | awk -F: '/^fpr/{print $10}')
n=${#fprs[@]}
for ((i = 0; i < n; i++)); do
  for step in 1 7; do
    g --default-key "${fprs[(i + step) % n]}" --quick-sign-key "${fprs[i]}" >/dev/null 2>&1 || true
  done
done
g --export > "$out"
echo "$count" > data/big-count
echo "made $out with $n keys"
