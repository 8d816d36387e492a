#!/usr/bin/env bash
# Builds libcurl for MinGW-w64 from Debian's source package (TLS through Windows' Schannel),
# once per machine, beside Qt's cache; prints its prefix.
set -euo pipefail
qt="$1"
cache="$(dirname "$qt")"
prefix="$cache/curl-prefix"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
work="$cache/curl-work"
rm -rf "$work" "$prefix" && mkdir -p "$work"
(cd "$work" && apt-get source -qq curl >/dev/null 2>&1)
source_dir="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -1)"
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
    -DUSE_WIN32_IDN=OFF -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF >"$cache/curl.log" 2>&1
cmake --build "$work/build" --parallel "$(nproc)" >>"$cache/curl.log" 2>&1
cmake --install "$work/build" >>"$cache/curl.log" 2>&1
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
