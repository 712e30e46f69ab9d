#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what a user would get:
# the list of files, the desktop entry and AppStream file, the manual pages,
# the bash completion, and the installed programs working on their own
# library, with the build folder out of the picture.
#   scripts/install-check.sh [BUILD-DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
build=$(realpath "${1:-build}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dest=$scratch/dest
fail() { echo "install-check: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >"$scratch/install.log" || { cat "$scratch/install.log"; fail "install failed"; }

# The files, and nothing else.
expected="usr/bin/tolv
usr/bin/tolv-cli
usr/lib/tolv/libpgpsdk.so
usr/share/applications/org.tolv.Tolv.desktop
usr/share/bash-completion/completions/tolv-cli
usr/share/doc/tolv/changelog.gz
usr/share/doc/tolv/copyright
usr/share/doc/tolv/librnp-LICENSE.md
usr/share/doc/tolv/sexpp-LICENSE.md
usr/share/icons/hicolor/scalable/apps/tolv.svg
usr/share/man/man1/tolv-cli.1.gz
usr/share/man/man1/tolv.1.gz
usr/share/metainfo/org.tolv.Tolv.metainfo.xml"
actual=$(cd "$dest" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || { diff <(echo "$expected") <(echo "$actual") >&2 || true; fail "unexpected file list"; }

desktop-file-validate "$dest/usr/share/applications/org.tolv.Tolv.desktop"
appstreamcli validate --no-net --pedantic "$dest/usr/share/metainfo/org.tolv.Tolv.metainfo.xml" >"$scratch/as.log" ||
  { cat "$scratch/as.log"; fail "AppStream file not valid"; }
for page in tolv tolv-cli; do
  warnings=$(zcat "$dest/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "manual page $page: $warnings"
done

# The desktop opens OpenPGP files with Tolv: with the scratch prefix's
# applications and shared MIME database (made as the package's triggers
# make them), xdg-mime names Tolv for each type its entry declares.
share=$scratch/share
cp -r "$dest/usr/share" "$share"
mkdir -p "$share/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/"
update-mime-database "$share/mime" >/dev/null 2>&1
update-desktop-database "$share/applications"
for type in application/pgp-encrypted application/pgp-signature application/pgp-keys; do
  default=$(env -i HOME="$scratch" XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share" XDG_CONFIG_HOME="$scratch/config" \
            PATH=/usr/bin:/bin xdg-mime query default "$type")
  [ "$default" = org.tolv.Tolv.desktop ] || fail "$type does not open with Tolv (xdg-mime says '$default')"
done

# The installed programs, with nothing of the build folder on any path.
home=$scratch/home
mkdir -p "$home"
run() { env -i HOME="$home" PATH="$dest/usr/bin:/usr/bin:/bin" LD_DEBUG=files LD_DEBUG_OUTPUT="$scratch/ld" "$@"; }
version=$(sed -n 's/^project(Tolv VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$(run tolv-cli --version)" = "tolv-cli $version" ] || fail "tolv-cli --version does not say $version"

# A first start writes the settings and empty rings in the settings folder.
run tolv-cli --ini /W keys 2>"$scratch/first.err" || { cat "$scratch/first.err"; fail "first start failed"; }
grep -q "Tolv keeps your public key ring at" "$scratch/first.err" || fail "the first start did not say where the rings are"
[ -f "$home/.config/tolv/tolv.ini" ] && [ -f "$home/.config/tolv/secring.pgp" ] || fail "first start wrote no settings"

# Signed and encrypted by Alice to Bob, and read back by Bob.
fixtures=$source/tests/fixtures
work=$scratch/work
mkdir -p "$work"
# Copies of the rings: what the program writes beside them (its record of
# checked signatures) stays out of the source tree.
cp "$fixtures/pubring.pgp" "$fixtures/secring.pgp" "$work/"
printf '[PGP]\nDLLName=pgpsdk.dll\nPubRing=%s\nSecRing=%s\n' "$work/pubring.pgp" "$work/secring.pgp" >"$work/tolv.ini"
echo alice >"$work/alice.pass"
echo bob >"$work/bob.pass"
head -c 100000 /dev/urandom >"$work/plain"
cd "$work"
run tolv-cli encode --signer alice@ --recipient bob@ --passphrase-file alice.pass plain message.pgp
run tolv-cli decode --passphrase-file bob.pass message.pgp back >report
cmp plain back || fail "the round trip changed the data"
grep -q "^Verdict" report || fail "decode gave no verdict"
loaded=$(grep -ho "calling init: [^ ]*libpgpsdk.so" "$scratch"/ld.* | sort -u)
[ "$loaded" = "calling init: $dest/usr/bin/../lib/tolv/libpgpsdk.so" ] || fail "the SDK library came from elsewhere: $loaded"
cd "$source"

# The completion, where bash-completion is installed.
completion=/usr/share/bash-completion/bash_completion
if [ -f "$completion" ]; then
  complete_words() {
    bash -c 'source "$1"; source "$2"; shift 2; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1));
             COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; _tolv_cli; echo "${COMPREPLY[*]}"' \
      _ "$completion" "$dest/usr/share/bash-completion/completions/tolv-cli" "$@"
  }
  [ "$(complete_words tolv-cli gen)" = generate ] || fail "completion of a command"
  [ "$(complete_words tolv-cli generate --algorithm rsa)" = "rsa3072 rsa4096" ] || fail "completion of a value"
  [ "$(complete_words tolv-cli --ini x.ini encode --enc)" = "--encrypt-to-self" ] || fail "completion of an option"
fi
echo "install-check: the installed Tolv $version works"
