#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Installs only what is
# missing, so a second run does nothing; apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libsdl2-dev libx11-dev libxext-dev
    libfreetype-dev libfontconfig-dev fonts-dejavu-core
    libstb-dev libsqlite3-dev zlib1g-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth imagemagick curl
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    apt=(apt-get)
else
    apt=(sudo apt-get)
fi
export DEBIAN_FRONTEND=noninteractive
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
