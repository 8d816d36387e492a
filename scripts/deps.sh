#!/usr/bin/env bash
# Installs the Debian packages the launcher, its tests and the local service need; with
# --windows also those of the Windows cross build, its installer and the Wine runs; with
# --bench those of the benchmarks.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins qt6-translations-l10n
    libcpp-httplib-dev libssl-dev zlib1g-dev libcurl4-openssl-dev
    xvfb xdotool imagemagick fonts-dejavu-core
    clang libclang-rt-14-dev clang-tidy cppcheck
)

if [ "${1:-}" = --windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nsis wine wine64 dpkg-dev zip)
elif [ "${1:-}" = --bench ]; then
    packages+=(libbenchmark-dev valgrind)
fi

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
