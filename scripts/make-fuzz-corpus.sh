#!/usr/bin/env bash
# Makes the fuzz targets' seed corpora from the fixtures (run once; the
# corpora are committed). Needs a build (tolv-cli) and gpg.
set -euo pipefail
cd "$(dirname "$0")/.."
c=tests/fuzz/corpus
fx=tests/fixtures
mkdir -p $c/fuzz_decode $c/fuzz_keyring $c/fuzz_profile $c/fuzz_file_dialog
work=$(mktemp -d)
trap 'gpgconf --homedir "$work/g" --kill all 2>/dev/null || true; rm -rf "$work"' EXIT
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s\nSecRing=%s\n' "$PWD/$fx/pubring.pgp" "$PWD/$fx/secring.pgp" > "$work/tolv.ini"
printf 'alice\n' > "$work/pass"
printf 'Short text for the corpus.\n' > "$work/plain"
build/bin/tolv-cli --ini "$work/tolv.ini" encode --signer alice@ --recipient bob@ --armor --passphrase-file "$work/pass" "$work/plain" $c/fuzz_decode/tolv-armoured.asc
build/bin/tolv-cli --ini "$work/tolv.ini" encode --signer alice@ --recipient bob@ --passphrase-file "$work/pass" "$work/plain" $c/fuzz_decode/tolv-binary.pgp
mkdir -m 700 "$work/g"
g() { gpg --homedir "$work/g" --batch --yes --quiet --trust-model always --pinentry-mode loopback "$@" 2>/dev/null; }
g --import $fx/pubring.pgp $fx/secring.pgp $fx/olga-secret.pgp
g --passphrase alice -u alice@example.org -s -o $c/fuzz_decode/gpg-signed.pgp "$work/plain"
g --passphrase alice -u alice@example.org --clearsign -o $c/fuzz_decode/gpg-clearsigned.asc "$work/plain"
g --passphrase bob --symmetric -o $c/fuzz_decode/gpg-symmetric.pgp "$work/plain"
g --passphrase bob -u bob@example.org -r alice@example.org -r bob@example.org -r olga@example.org -se -o $c/fuzz_decode/gpg-three.pgp "$work/plain"
g -r olga@example.org -e -o $c/fuzz_decode/gpg-olga.pgp "$work/plain"
cp $fx/pubring.pgp $c/fuzz_keyring/pubring.pgp
cp $fx/olga-public.asc $c/fuzz_keyring/olga.asc
head -c 700 $fx/pubring.pgp > $c/fuzz_keyring/truncated.pgp
cp demo/tolv.ini $c/fuzz_profile/tolv.ini
printf '; comment\n[Other]\nA=1\n[pgp]\n dllname = x \nSign=\nSign=dup\n' > $c/fuzz_profile/mixed.ini
printf 'File to load.asc' > $c/fuzz_file_dialog/asc
printf '/home/user/Docs/Letter.TXT\\!extra   ' > $c/fuzz_file_dialog/bang
printf 'Bob Example <bob@example.org>.asc' > $c/fuzz_file_dialog/userid
