#!/usr/bin/env bash
# Builds Tolv's Debian package, dist/tolv_<version>_amd64.deb, from the
# ordinary build; its dependencies are worked out by dpkg-shlibdeps.
#   scripts/package.sh           build the package
#   scripts/package.sh --check   then install it with apt, use it, remove it,
#                                and check that it left no file behind
#                                (as root, or through sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
rm -rf dist/_CPack_Packages dist/tolv_*.deb
cpack --config build/CPackConfig.cmake -B "$PWD/dist" >dist.log 2>&1 || { cat dist.log; exit 1; }
rm -rf dist/_CPack_Packages dist.log
deb=$(ls "$PWD"/dist/tolv_*_amd64.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Depends
[ "${1:-}" = "--check" ] || exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
files_now() { find /usr /etc /opt -xdev \( -type f -o -type l \) 2>/dev/null | LC_ALL=C sort; }
files_now >"$scratch/before"

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -qq "$deb" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
version=$(dpkg-query -W -f='${Version}' tolv)
[ "$(/usr/bin/tolv-cli --version)" = "tolv-cli $version" ] || { echo "package: tolv-cli --version is not $version" >&2; exit 1; }
HOME=$scratch/home /usr/bin/tolv-cli --ini /W keys 2>/dev/null
[ -s "$scratch/home/.config/tolv/tolv.ini" ] || { echo "package: the installed tolv-cli did not start" >&2; exit 1; }

"${sudo_cmd[@]}" apt-get purge -y -qq tolv >>"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
# Whatever is new and owned by no package was left behind by Tolv's package.
left=$(comm -13 "$scratch/before" <(files_now) | while read -r f; do dpkg -S "$f" >/dev/null 2>&1 || echo "$f"; done)
[ -z "$left" ] || { echo "package: left behind after removal:" >&2; echo "$left" >&2; exit 1; }
echo "package: installed, ran tolv-cli $version, removed without a trace"
