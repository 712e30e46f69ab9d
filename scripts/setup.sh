#!/usr/bin/env bash
# Installs the Debian packages that Tolv's build and tests need, and only those
# that are missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  librnp-dev rnp
  libbotan-2-dev libjson-c-dev libbz2-dev
  libgtest-dev
  gnupg sq zlib1g-dev
  clang libclang-rt-14-dev time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
