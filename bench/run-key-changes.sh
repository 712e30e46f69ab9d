#!/usr/bin/env bash
# Times Tolv's key changes (bench_key_changes): generation per algorithm,
# importing a file of N keys (default 10000, made by gpg: Ed25519 with a
# Cv25519 subkey each) into an empty ring pair, and committing it; gpg's
# import of the same file beside it.
#   bench/run-key-changes.sh [KEYS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")"
count="${1:-10000}"
runs="${2:-5}"
bin="$PWD/../build/bin"
file="data/keys-$count.pgp"
mkdir -p data
if [ ! -s "$file" ]; then
  home=$(mktemp -d)
  chmod 700 "$home"
  python3 - "$count" > "$home/params" <<'PY'
import sys
for i in range(int(sys.argv[1])):
    print(f"Key-Type: eddsa\nKey-Curve: ed25519\nKey-Usage: sign,cert\nSubkey-Type: ecdh\nSubkey-Curve: cv25519\n"
          f"Subkey-Usage: encrypt\nName-Real: Bench User {i:05d}\nName-Email: user{i:05d}@bench.example\n"
          f"Expire-Date: 0\n%no-protection\n%commit")
PY
  gpg --homedir "$home" --batch --quiet --generate-key "$home/params" 2>/dev/null
  gpg --homedir "$home" --batch --export > "$file"
  gpgconf --homedir "$home" --kill all 2>/dev/null || true
  rm -rf "$home"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/bench_key_changes" "$file" "$work" "$runs"
mkdir -m 700 "$work/gpg"
/usr/bin/time -f "%e" -o "$work/time" gpg --homedir "$work/gpg" --batch --quiet --import "$file" 2>/dev/null
printf 'gpg --import of the same file     %9.1f ms\n' "$(echo "$(cat "$work/time") * 1000" | bc)"
