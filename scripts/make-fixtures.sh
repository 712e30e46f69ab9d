#!/usr/bin/env bash
# Makes the key rings the tests and the demo start on, with GnuPG. Run once;
# the results are committed (tests/fixtures/, demo/). Key generation reads
# fresh randomness, so a rerun gives other keys.
set -euo pipefail
cd "$(dirname "$0")/.."
out_fix=tests/fixtures
out_demo=demo
work=$(mktemp -d)
trap 'gpgconf --homedir "$work" --kill all 2>/dev/null || true; rm -rf "$work"' EXIT
export GNUPGHOME="$work"
chmod 700 "$work"
echo "allow-loopback-pinentry" > "$work/gpg-agent.conf"
g() { gpg --batch --no-tty --quiet --pinentry-mode loopback "$@"; }

# name, passphrase, algo, expire, [faked time]
gen() {
  local uid="$1" pass="$2" algo="$3" usage="$4" expire="$5" faked="${6:-}"
  local extra=()
  [ -n "$faked" ] && extra=(--faked-system-time "$faked" --ignore-time-conflict)
  g "${extra[@]}" --passphrase "$pass" --quick-generate-key "$uid" "$algo" "$usage" "$expire"
  # Every key pair gets an encryption subkey of the matching family.
  local sub=""
  case "$algo" in
    rsa*) sub="$algo" ;;
    ed25519) sub=cv25519 ;;
  esac
  if [ -n "$sub" ]; then
    local f
    f=$(gpg --batch --with-colons --list-keys "=$uid" | awk -F: '/^fpr/ {print $10; exit}')
    g "${extra[@]}" --passphrase "$pass" --quick-add-key "$f" "$sub" encr "$expire"
  fi
}
fpr() { gpg --batch --with-colons --list-keys "$1" | awk -F: '/^fpr/ {print $10; exit}'; }

gen "Alice Example <alice@example.org>" alice rsa2048 sign,cert never
gen "Bob Example <bob@example.org>" bob ed25519 sign,cert never
gen "Carol Public <carol@example.org>" carol rsa3072 sign,cert never
gen "Dave Public <dave@example.org>" dave ed25519 sign,cert never
gen "Rex Revoked <rex@example.org>" rex rsa2048 sign,cert 2y 20200101T000000
gen "Eve Expired <eve@example.org>" eve ed25519 sign,cert 1y 20150101T000000
gen "Olga Outsider <olga@example.org>" olga ed25519 sign,cert never
gen "Frank Certified <frank@example.org>" frank ed25519 sign,cert never
gen "Gina DSA <gina@example.org>" gina dsa2048 sign,cert never
g --passphrase gina --quick-add-key "$(fpr gina@example.org)" elg2048 encr never
gen "Leap Day <leap@example.org>" leap rsa2048 sign,cert never 20000229T120000
gen "Future Key <future@example.org>" future ed25519 sign,cert never 21000301T120000
gen "Nameless <nameless@example.org>" nameless ed25519 sign,cert never
long_uid="Lorenzo Long-Name $(printf 'x%.0s' $(seq 1 100)) <lorenzo.long.name@example.org>"
gen "$long_uid" lorenzo ed25519 sign,cert never

# Certifications: Alice certifies Dave and Bob; Bob certifies Alice;
# Olga (who stays outside the rings) certifies Frank.
certify() { g --passphrase "$1" --default-key "$2" --quick-sign-key "$(fpr "$3")" ; }
certify alice alice@example.org dave@example.org
certify alice alice@example.org bob@example.org
certify bob bob@example.org alice@example.org
certify olga olga@example.org frank@example.org
# Rex is revoked (and has expired since 2022).
rev_fpr=$(fpr rex@example.org)
sed 's/^:-----BEGIN/-----BEGIN/' "$work/openpgp-revocs.d/$rev_fpr.rev" > "$work/rex.rev"
g --import "$work/rex.rev"

pub_export() { gpg --batch --export "$@"; }
sec_export() { local pass="$1"; shift; g --passphrase "$pass" --export-secret-keys "$@"; }

mkdir -p "$out_fix" "$out_demo"
# Fixture rings: everything except Olga; a key with its user ID dropped.
pub_export alice@example.org bob@example.org carol@example.org dave@example.org rex@example.org \
  eve@example.org frank@example.org gina@example.org leap@example.org future@example.org \
  lorenzo.long.name@example.org > "$out_fix/pubring.pgp"
gpg --batch --export --export-filter keep-uid='uid =~ no-such-text' nameless@example.org >> "$out_fix/pubring.pgp"
{ sec_export alice alice@example.org; sec_export bob bob@example.org; sec_export rex rex@example.org;
  sec_export gina gina@example.org; } > "$out_fix/secring.pgp"
# A key made outside the rings, for messages to unknown recipients.
pub_export olga@example.org > "$out_fix/olga-public.asc"
sec_export olga olga@example.org > "$out_fix/olga-secret.pgp"

# Demo rings: two key pairs, a few public keys, one revoked, one expired.
pub_export alice@example.org bob@example.org carol@example.org dave@example.org rex@example.org \
  eve@example.org > "$out_demo/pubring.pgp"
{ sec_export alice alice@example.org; sec_export bob bob@example.org; } > "$out_demo/secring.pgp"
cat > "$out_demo/tolv.ini" <<'INI'
[PGP]
DLLName=pgpsdk.dll
SecRing=secring.pgp
PubRing=pubring.pgp
TimeOut=10000
Sign=Alice
EncryptFor=Bob
INI
echo "done: $(gpg --batch --list-keys | grep -c '^pub') keys"
