#!/usr/bin/env bash
# Installs the Debian packages that Tolv's build and tests need, and only those
# that are missing. Runs apt-get as root, or through sudo. Prints one line per
# step; apt's own output goes to a log file, shown only when a step fails.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  librnp-dev rnp
  libbotan-2-dev libjson-c-dev libbz2-dev
  libgtest-dev
  gnupg dirmngr sq zlib1g-dev openssl ca-certificates lighttpd lighttpd-mod-openssl
  clang libclang-rt-14-dev time
  desktop-file-utils appstream bash-completion groff-base xdg-utils shared-mime-info libarchive-dev
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

log=${TMPDIR:-/tmp}/tolv-setup.log
: >"$log"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# step TEXT COMMAND...: one line for the step, the log when it fails.
step() {
  local text=$1
  shift
  printf 'setup: %s ... ' "$text"
  if "$@" >>"$log" 2>&1; then
    echo done
  else
    echo failed
    echo "----- $log -----" >&2
    tail -n 60 "$log" >&2
    exit 1
  fi
}

step "reading the package lists" "${sudo_cmd[@]}" apt-get update
step "installing ${missing[*]}" \
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

# The tests start lighttpd themselves, on 127.0.0.1 only: the web server the
# package starts on port 80 for everyone is stopped and kept from starting.
if [[ " ${missing[*]} " == *" lighttpd "* ]]; then
  step "stopping the system's lighttpd" sh -c \
    "${sudo_cmd[*]} service lighttpd stop || true; ${sudo_cmd[*]} update-rc.d lighttpd disable || true"
fi
