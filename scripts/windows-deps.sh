#!/usr/bin/env bash
# Installs the Debian packages the Windows cross build, its installer and the Wine runs need.
set -euo pipefail
packages=(
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nsis wine wine64 dpkg-dev zip
    xvfb xdotool imagemagick
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
