#!/usr/bin/env bash
# Makes the fixtures of what today's peers write (tests/fixtures/rfc9580/):
# keys and messages from gpg 2.4 and sq 1.x, as Debian 13 ships them, in a
# Debian 13 chroot (debootstrap --variant=minbase trixie) under build-interop/.
# Run by hand, as root, with network access to Debian's archive; the suite
# only reads what this script committed.
#   scripts/make-rfc9580-fixtures.sh [--live]
#     --live   also run tests/interop/rfc9580-live.sh against the chroot's peers
set -euo pipefail
cd "$(dirname "$0")/.."
root=build-interop/trixie
out=${RFC9580_OUT:-tests/fixtures/rfc9580}  # the live run writes elsewhere

# The chroot, made once and kept for later runs.
make_chroot() {
  [ -x "$root/usr/bin/sq" ] && [ -x "$root/usr/bin/gpg" ] && return 0
  command -v debootstrap >/dev/null || apt-get install -y --no-install-recommends debootstrap
  [ -d "$root/usr" ] || debootstrap --variant=minbase trixie "$root" http://deb.debian.org/debian
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  chroot "$root" apt-get update
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends gnupg sq
}

make_chroot
work=$(mktemp -d "$root/tmp/fixtures.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat > "$work/make.sh" <<'EOF'
# Runs inside the chroot, in the work folder.
set -euo pipefail
export SEQUOIA_HOME="$PWD/sq" GNUPGHOME="$PWD/gnupg" HOME="$PWD"
mkdir -m 700 gnupg
printf 'A message from a peer of 2025.\n' > plain.txt
sqq() { sq --batch --overwrite "$@"; }
# Vera: a v6 key (Ed25519 and X25519, RFC 9580). Fiona: a v4 key that sq
# made, which advertises SEIPDv2. Gus: gpg 2.4's default key, which
# advertises OCB.
sqq key generate --own-key --userid "Vera Six <vera@example.org>" --profile rfc9580 \
    --without-password --output vera-secret.pgp --rev-cert vera.rev
sqq key delete --cert-file=vera-secret.pgp --output=vera-public.pgp
sqq key generate --own-key --userid "Fiona Four <fiona@example.org>" --profile rfc4880 \
    --without-password --output fiona-secret.pgp --rev-cert fiona.rev
sqq key delete --cert-file=fiona-secret.pgp --output=fiona-public.pgp
gpg --batch --pinentry-mode loopback --passphrase '' --quick-gen-key "Gus Gpg <gus@example.org>" default default never
gpg --batch --pinentry-mode loopback --passphrase '' --export-secret-keys gus@example.org > gus-secret.pgp
gpg --batch --export gus@example.org > gus-public.pgp

# sq writes SEIPDv2 to keys that advertise it, v4 ones too.
sqq encrypt --for-file fiona-public.pgp --without-signature --output sq-seipdv2-to-v4.pgp plain.txt
sqq encrypt --for-file fiona-public.pgp --without-signature --binary --output sq-seipdv2-to-v4.bin plain.txt
sqq encrypt --for-file vera-public.pgp --signer-file vera-secret.pgp --output sq-to-v6-signed.pgp plain.txt
# A v6 signature inside a message to a v4 key.
sqq encrypt --for-file fiona-public.pgp --signer-file vera-secret.pgp --output sq-v6-signed-to-v4.pgp plain.txt
sqq sign --cleartext --signer-file vera-secret.pgp --output sq-v6-clearsigned.asc plain.txt
sqq sign --signature-file=sq-v6-detached.sig --signer-file vera-secret.pgp plain.txt
sqq sign --message --signer-file vera-secret.pgp --output sq-v6-signed.pgp plain.txt

# gpg 2.4 writes OCB (its own AEAD packet) when asked to: Debian's keys do not
# advertise it.
gpg --batch --trust-model always --force-ocb --encrypt --recipient gus@example.org --output gpg-ocb-to-gus.pgp plain.txt
gpg --batch --pinentry-mode loopback --passphrase 'correct horse' --force-ocb --symmetric \
    --output gpg-ocb-symmetric.pgp plain.txt
gpg --batch --pinentry-mode loopback --passphrase '' --local-user gus@example.org --detach-sign \
    --output gpg-detached.sig plain.txt
# (sed reads all its input: a reader that stops early makes sq panic on the broken pipe)
{ gpg --version | sed -n 1p; sq version 2>&1 | sed -n 1,2p; } > versions.txt
EOF
chroot "$root" bash -c "cd /tmp/$(basename "$work") && bash make.sh"

# EAX and GCM, which no peer picks by itself, written by Tolv's own engine
# to Fiona, and accepted as fixtures only once sq has read them.
[ -f build/librnp/install/lib/librnp.a ] || scripts/build.sh >/dev/null
g++ -std=c++17 -O1 -o "$work/write_aead_messages" tests/interop/write_aead_messages.cpp \
    -Ibuild/librnp/install/include -DRNP_STATIC build/librnp/install/lib/librnp.a \
    build/librnp/install/lib/libsexpp.a $(pkg-config --libs botan-2 json-c) -lbz2 -lz
"$work/write_aead_messages" "$work/fiona-public.pgp" "$work/plain.txt" "$work"
for mode in eax gcm; do
  chroot "$root" bash -c "cd /tmp/$(basename "$work") && SEQUOIA_HOME=\$PWD/sq sq --batch decrypt \
      --recipient-file fiona-secret.pgp --output - tolv-$mode-to-fiona.pgp" | cmp - "$work/plain.txt"
done
mkdir -p "$out"
for f in "$work"/*.pgp "$work"/*.bin "$work"/*.asc "$work"/*.sig "$work"/plain.txt "$work"/versions.txt; do
  cp "$f" "$out/"
done
echo "fixtures written to $out:"; ls "$out"
if [ "${1:-}" = "--live" ]; then
  tests/interop/rfc9580-live.sh "$root"
fi
