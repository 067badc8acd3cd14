#!/bin/bash
# Installs what building, running and testing Gleanwick need on Debian 12 (run as root).
# Installs only what is missing, so a prepared machine passes through quickly.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    sharutils uudeview mpack
)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(inn2 xvfb)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages (${missing[*]}); run as root" >&2
    exit 1
fi
# inn2's post-install script needs a domain when the host name has none.
if printf '%s\n' "${missing[@]}" | grep -qx inn2 && [[ ! -e /etc/news/inn.conf ]]; then
    mkdir -p /etc/news
    printf 'domain: localdomain\n' >/etc/news/inn.conf
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
