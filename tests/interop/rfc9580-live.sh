#!/usr/bin/env bash
# The RFC 9580 cases live, against gpg 2.4 and sq 1.x in the Debian 13 chroot
# that scripts/make-rfc9580-fixtures.sh makes: the peers write afresh and the
# suite's cases (test_rfc9580) read it, then the peers read what tolv-cli
# writes. Run by hand, as root, after scripts/build.sh; not part of
# scripts/test.sh.
#   tests/interop/rfc9580-live.sh [CHROOT]
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(realpath "${1:-build-interop/trixie}")"
src=$(mktemp -d)
trap 'rm -rf "$src" "$root/tmp/live"' EXIT

echo "== the peers write, Tolv reads"
mkdir -p "$src/tests"
cp -r tests/fixtures "$src/tests/"
RFC9580_OUT="$src/tests/fixtures/rfc9580" scripts/make-rfc9580-fixtures.sh > "$src/make.log" 2>&1 ||
  { tail -20 "$src/make.log"; exit 1; }
QT_QPA_PLATFORM=offscreen TOLV_SOURCE_DIR="$src" TOLV_BIN_DIR="$PWD/build/bin" build/bin/test_rfc9580

echo "== Tolv writes, the peers read"
peers="$src/tests/fixtures/rfc9580"
work="$root/tmp/live"
mkdir -p "$work"
cd "$work"
: > pubring.pgp
: > secring.pgp
printf 'live pass\n' > pass
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s/pubring.pgp\nSecRing=%s/secring.pgp\n' "$PWD" "$PWD" > tolv.ini
cli() { "$OLDPWD/build/bin/tolv-cli" --ini "$PWD/tolv.ini" "$@"; }
cli import "$peers/fiona-public.pgp" "$peers/gus-public.pgp" > /dev/null
cli generate --name "Nova Six" --email nova@example.org --algorithm ed25519-v6 --passphrase-file pass > /dev/null
cli export nova nova.pgp
cp "$peers/fiona-secret.pgp" "$peers/gus-secret.pgp" "$peers/plain.txt" .
cli encode --signer nova --recipient fiona --passphrase-file pass plain.txt to-fiona.pgp
cli encode --recipient gus plain.txt to-gus.pgp
cli encode --signer nova --detached --passphrase-file pass plain.txt plain.sig
chroot "$root" bash -euo pipefail -c '
  cd /tmp/live
  export SEQUOIA_HOME=$PWD/sq GNUPGHOME=$PWD/gnupg
  mkdir -m 700 -p gnupg
  sq --batch decrypt --recipient-file fiona-secret.pgp --signer-file nova.pgp --output - to-fiona.pgp | cmp - plain.txt
  sq --batch verify --signer-file nova.pgp --signature-file plain.sig plain.txt
  gpg --batch --quiet --import gus-secret.pgp
  gpg --batch --quiet --decrypt to-gus.pgp | cmp - plain.txt
  echo "sq and gpg read what Tolv wrote"'
