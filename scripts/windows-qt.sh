#!/usr/bin/env bash
# Builds Qt 6.8.2 for MinGW-w64 from Debian 13's source packages, inside the Debian 13 root
# (Qt's cross build needs host tools of its own version), once per machine, into a cache
# outside the tree, and prints its prefix (with --check: only when it is built already).
# Only what the launcher and its tests use is built (no tablet input either: Debian strips
# the Windows tablet header from its source).
#
# The WebP plugin: Debian 13's qt6-imageformats source is not in the archive, so the plugin
# comes from Debian 12's (6.4.2; its handler builds unchanged against 6.8) over Debian 13's
# libwebp (1.5.0), linked in statically. The libwebp copy bundled in the 6.4.2 source predates
# the fix for CVE-2023-4863, a heap overflow that any hostile picture could reach.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt_version=6.8.2
cache="${HALVARK_QT_MINGW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/halvark/qt$qt_version-mingw}"
prefix="$cache/prefix"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
[ "${1:-}" = --check ] && exit 1
. /etc/os-release
[ "${VERSION_ID:-}" = 13 ] || { echo "windows-qt.sh runs inside the Debian 13 root (scripts/debian13-root.sh)" >&2; exit 1; }

# Each stage is kept once done: a failure late in the hour does not cost the hour again.
work="$cache/work"
rm -rf "$work" && mkdir -p "$work" "$prefix"
# The toolchain file is recorded in Qt's own CMake files, so it must outlive this checkout.
cp "$root/cmake/mingw-w64.cmake" "$cache/mingw-w64.cmake"
(cd "$work" && apt-get source -qq libwebp >/dev/null 2>&1)
webp_src="$(find "$work" -maxdepth 1 -type d -name 'libwebp-*' | head -1)"

# Debian 12's qt6-imageformats source, through an apt configuration of its own.
bookworm="$work/bookworm-apt"
mkdir -p "$bookworm/lists/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $HALVARK_DEBIAN_MIRROR bookworm main" >"$bookworm/sources.list"
bookworm_apt=(-o "Dir::Etc::SourceList=$bookworm/sources.list" -o Dir::Etc::SourceParts=/dev/null -o APT::Sandbox::User=root
    -o "Dir::State::Lists=$bookworm/lists")
apt-get "${bookworm_apt[@]}" update -qq
(cd "$work" && apt-get "${bookworm_apt[@]}" source -qq qt6-imageformats >/dev/null 2>&1)
formats_src="$(find "$work" -maxdepth 1 -type d -name 'qt6-imageformats-*' | head -1)"
[ -n "$webp_src" ] && [ -n "$formats_src" ] || { echo "a source package is missing" >&2; exit 1; }

if [ ! -f "$cache/.base-done" ]; then
    (cd "$work" && apt-get source -qq qt6-base >/dev/null 2>&1)
    base_src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"
    grep -q "^qt6-base ($qt_version" "$base_src/debian/changelog" ||
        { echo "Debian 13's qt6-base is not $qt_version any more: update windows-qt.sh" >&2; exit 1; }
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
    rm -rf "$work/base-build" "$base_src"
    touch "$cache/.base-done"
fi

webp_prefix="$cache/webp-prefix"
cmake -S "$webp_src" -B "$work/webp-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$webp_prefix" \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DWEBP_BUILD_ANIM_UTILS=OFF \
    -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF >>"$cache/configure.log" 2>&1
cmake --build "$work/webp-build" --parallel "$(nproc)" >>"$cache/build.log" 2>&1
cmake --install "$work/webp-build" >>"$cache/build.log" 2>&1

# WebP is the only extra picture format the launcher decodes.
HALVARK_QT_MINGW="$prefix;$webp_prefix" "$prefix/bin/qt-cmake" -S "$formats_src" -B "$work/formats-build" -G Ninja \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_PREFIX_PATH="$webp_prefix" \
    -DFEATURE_tiff=OFF -DFEATURE_mng=OFF -DFEATURE_jasper=OFF -DFEATURE_wbmp=OFF \
    -DFEATURE_tga=OFF -DFEATURE_icns=OFF -DFEATURE_webp=ON -DFEATURE_system_webp=ON \
    >>"$cache/configure.log" 2>&1
cmake --build "$work/formats-build" --parallel "$(nproc)" >>"$cache/build.log" 2>&1
cmake --install "$work/formats-build" >>"$cache/build.log" 2>&1
[ -f "$prefix/plugins/imageformats/qwebp.dll" ] || { echo "no WebP plugin was built" >&2; exit 1; }

rm -rf "$work" "$cache/.base-done"
touch "$prefix/.complete"
echo "$prefix"
