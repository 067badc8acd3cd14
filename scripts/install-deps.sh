#!/bin/bash
# Installs what building, running and testing Gleanwick need on Debian 12 (run as root).
# Installs only what is missing, so a prepared machine passes through quickly.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libx11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    sharutils uudeview mpack zlib1g-dev
    librsvg2-bin # the icon's PNG sizes
    dpkg-dev     # scripts/package.sh: the package's dependencies (dpkg-shlibdeps)
    file         # scripts/package.sh: CPack finds the binaries with it
)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(inn2 xvfb xauth time python3 python3-sabyenc openssl clang-format)
    packages+=(libssl-dev) # bench/raw_nntp_client over TLS
    # The package's validators.
    packages+=(lintian desktop-file-utils appstream man-db groff-base)
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
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# inn2's post-install script needs a domain when the host name has none. On a fresh machine
# the package's own inn.conf is written first with a domain; dpkg then keeps it (confold)
# instead of stopping at its conffile question. One left behind without a domain gets one.
if printf '%s\n' "${missing[@]}" | grep -qx inn2; then
    if [[ ! -e /etc/news/inn.conf ]]; then
        tmp=$(mktemp -d)
        (cd "$tmp" && apt-get download -qq inn2-inews)
        mkdir -p /etc/news
        dpkg-deb --fsys-tarfile "$tmp"/inn2-inews_*.deb | tar -xO ./etc/news/inn.conf |
            sed 's/^#* *domain:.*/domain: localdomain/' >/etc/news/inn.conf
        rm -rf "$tmp"
    elif ! grep -q '^domain:' /etc/news/inn.conf; then
        printf 'domain: localdomain\n' >>/etc/news/inn.conf
    fi
fi
apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}"
