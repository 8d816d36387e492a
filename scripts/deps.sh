#!/usr/bin/env bash
# Installs the Debian packages the launcher, its tests and the local service need, by the
# names of this Debian release (12 or 13); with --cross also those of the Windows cross build
# and its installer (in the Debian 13 root), with --wine those of the Wine runs, with --bench
# those of the benchmarks.
set -euo pipefail
. /etc/os-release
clang_runtime=libclang-rt-14-dev
[ "${VERSION_ID:-12}" -ge 13 ] 2>/dev/null && clang_runtime=libclang-rt-19-dev

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins qt6-translations-l10n
    libcpp-httplib-dev libssl-dev zlib1g-dev libcurl4-openssl-dev
    xvfb xdotool imagemagick fonts-dejavu-core e2fsprogs
    clang "$clang_runtime" clang-tidy cppcheck
)

if [ "${1:-}" = --cross ]; then
    packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nsis dpkg-dev zip)
elif [ "${1:-}" = --wine ]; then
    packages+=(wine wine64)
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
