#!/usr/bin/env bash
# Makes the fuzz targets' key pair, with no passphrase (so that the fuzzer's
# time goes into parsing, not into key derivation), and the seed messages
# made with it. Run once; the results are committed, and a rerun gives a
# new key.
set -euo pipefail
cd "$(dirname "$0")/.."
H=$(mktemp -d)
trap 'gpgconf --homedir "$H" --kill all 2>/dev/null || true; rm -rf "$H"' EXIT
chmod 700 "$H"
g() { gpg --homedir "$H" --batch --quiet --yes --pinentry-mode loopback --trust-model always "$@"; }
g --passphrase '' --quick-generate-key "Fuzz Key <fuzz@example.org>" ed25519 sign,cert never
F=$(gpg --homedir "$H" --with-colons -K | awk -F: '/^fpr/{print $10; exit}')
g --passphrase '' --quick-add-key "$F" cv25519 encr never
mkdir -p tests/fuzz/keys
gpg --homedir "$H" --batch --export > tests/fuzz/keys/fuzz-pub.pgp
g --passphrase '' --export-secret-keys > tests/fuzz/keys/fuzz-sec.pgp
printf 'fuzzing text\n' > "$H/p"
C=tests/fuzz/corpus/fuzz_decode
g -u fuzz@example.org -r fuzz@example.org -se -o "$C/fuzzkey-signed-encrypted.pgp" "$H/p"
g -u fuzz@example.org -r fuzz@example.org -a -se -o "$C/fuzzkey-armoured.asc" "$H/p"
g -u fuzz@example.org --clearsign -o "$C/fuzzkey-clearsigned.asc" "$H/p"
g --passphrase x --s2k-count 1024 -c -o "$C/fuzzkey-symmetric.pgp" "$H/p"
g --throw-keyids -r fuzz@example.org -e -o "$C/fuzzkey-hidden.pgp" "$H/p"
g -u fuzz@example.org --compress-algo zlib -s -o "$C/fuzzkey-zlib-signed.pgp" "$H/p"
