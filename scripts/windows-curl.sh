#!/usr/bin/env bash
# Builds libcurl for MinGW-w64 from Debian 13's source package (TLS through Windows'
# Schannel), once per machine, beside Qt's cache; prints its prefix. Runs in the Debian 13 root.
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
# The archive may lack the files of the newest upload (seen: +deb13u7): then the newest
# earlier upload of the same release whose files are all there.
fetch_earlier_upload() {
    local newest directory base n dsc name pool
    newest="$(apt-cache showsrc curl | sed -n 's/^Version: //p' | sort -V | tail -n 1)"
    directory="$(apt-cache showsrc curl | sed -n 's/^Directory: //p' | head -n 1)"
    pool="$HALVARK_DEBIAN_MIRROR/$directory"
    base="${newest%u*}u" n="${newest##*u}"
    while [ "$n" -gt 0 ]; do
        n=$((n - 1))
        dsc="curl_${base#*:}$n.dsc"
        /usr/lib/apt/apt-helper download-file "$pool/${dsc//+/%2b}" "$work/$dsc" >/dev/null 2>&1 || continue
        for name in $(sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* //p' "$work/$dsc"); do
            /usr/lib/apt/apt-helper download-file "$pool/${name//+/%2b}" "$work/$name" >/dev/null 2>&1 ||
                continue 2
        done
        echo "curl ${base}$n (the archive lacks $newest)" >&2
        (cd "$work" && dpkg-source --no-check -x "$dsc" >/dev/null)
        return 0
    done
    return 1
}
(cd "$work" && apt-get source -qq curl >/dev/null 2>&1) || fetch_earlier_upload
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
