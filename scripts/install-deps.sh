#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Morvex Tools need.
# Only packages that are missing are installed, and only when we are root; otherwise we
# name what is missing and let the build fail with the compiler's own message.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
    libqt6sql6-sqlite libgl-dev libglx-dev libxkbcommon-dev
    libcurl4-openssl-dev libssl-dev
    units xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages (run as root, or install them yourself): ${missing[*]}" >&2
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
