#!/usr/bin/env bash
# Builds Qt 6.4.2 for MinGW-w64 from Debian's source packages, once per machine, into a cache
# outside the tree, and prints its prefix (with --check: only when it is built already). Only
# what the launcher and its tests use is built (no tablet input either: Debian strips the
# Windows tablet header from its source).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${HALVARK_QT_MINGW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/halvark/qt6.4.2-mingw}"
prefix="$cache/prefix"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
# --check: only say whether the cache is there.
[ "${1:-}" = --check ] && exit 1

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
# Debian's source of the very Qt the host tools come from.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    $sudo_cmd tee /etc/apt/sources.list.d/halvark-deb-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo_cmd apt-get update -qq
fi

work="$cache/work"
rm -rf "$work" && mkdir -p "$work" "$prefix"
# The toolchain file is recorded in Qt's own CMake files, so it must outlive this checkout.
cp "$root/cmake/mingw-w64.cmake" "$cache/mingw-w64.cmake"
(cd "$work" && apt-get source -qq qt6-base qt6-imageformats >/dev/null)
base_src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"
formats_src="$(find "$work" -maxdepth 1 -type d -name 'qt6-imageformats-*' | head -1)"

mkdir -p "$work/base-build"
(cd "$work/base-build" && "$base_src/configure" -prefix "$prefix" -release \
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -qt-host-path /usr \
    -nomake examples -nomake tests -no-opengl -no-feature-vulkan -no-dbus -no-icu \
    -no-openssl -schannel -no-feature-sql -no-feature-printsupport -no-feature-tabletevent \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
    -- -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$cache/configure.log" 2>&1)
cmake --build "$work/base-build" --parallel "$(nproc)" >"$cache/build.log" 2>&1
cmake --install "$work/base-build" >>"$cache/build.log" 2>&1

# WebP (libwebp is bundled) is the only extra picture format the launcher decodes.
"$prefix/bin/qt-cmake" -S "$formats_src" -B "$work/formats-build" -G Ninja \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DFEATURE_tiff=OFF -DFEATURE_mng=OFF -DFEATURE_jasper=OFF -DFEATURE_wbmp=OFF \
    -DFEATURE_tga=OFF -DFEATURE_icns=OFF -DFEATURE_webp=ON -DFEATURE_system_webp=OFF \
    >>"$cache/configure.log" 2>&1
cmake --build "$work/formats-build" --parallel "$(nproc)" >>"$cache/build.log" 2>&1
cmake --install "$work/formats-build" >>"$cache/build.log" 2>&1

rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
