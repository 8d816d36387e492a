#!/usr/bin/env bash
# A Debian 13 root, made once per machine from the machine's own Debian source and cached
# outside the tree, with every package the launcher's builds need inside it (Linux and the
# Windows cross build). Runs a command in it:
#   debian13-root.sh COMMAND [ARGS...]
# The tree and the shared cache appear inside at their own paths, so paths mean the same
# inside and out; HALVARK_DEBIAN_MIRROR names the mirror the root comes from.
set -euo pipefail
tree="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache_home="${XDG_CACHE_HOME:-$HOME/.cache}"
root="${HALVARK_DEBIAN13_ROOT:-$cache_home/halvark-debian13/root}"
shared_cache="$cache_home/halvark"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
mirror="$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/*$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)"
mirror="${mirror:-http://deb.debian.org/debian}"

# Inside a mount namespace of its own: the mounts end with the command, whatever happens.
in_root() {
    $sudo_cmd unshare --mount --propagation private -- /bin/bash -s -- "$root" "$tree" "$shared_cache" "$mirror" "$@" <<'INSIDE'
set -euo pipefail
root="$1" tree="$2" shared_cache="$3" mirror="$4"
shift 4
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/dev/shm"
mount -t tmpfs tmpfs "$root/tmp"
mkdir -p "$root$tree" "$root$shared_cache"
mount --bind "$tree" "$root$tree"
mount --bind "$shared_cache" "$root$shared_cache"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
exec chroot "$root" /usr/bin/env -i HOME="$HOME" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM="${TERM:-dumb}" XDG_CACHE_HOME="${shared_cache%/halvark}" HALVARK_DEBIAN_MIRROR="$mirror" \
    /bin/bash -c 'cd "$0" && exec "$@"' "$tree" "$@"
INSIDE
}

mkdir -p "$shared_cache"
if [ ! -f "$root/.halvark-complete" ]; then
    command -v debootstrap >/dev/null || {
        $sudo_cmd apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq debootstrap
    }
    echo "Debian 13 root in $root (from $mirror; a few minutes, once)..."
    $sudo_cmd rm -rf "$root" && mkdir -p "$(dirname "$root")"
    $sudo_cmd debootstrap --variant=minbase trixie "$root" "$mirror" >"$root.log" 2>&1 ||
        { tail -n 20 "$root.log"; exit 1; }
    $sudo_cmd tee "$root/etc/apt/sources.list.d/debian.sources" >/dev/null <<SOURCES
Types: deb deb-src
URIs: $mirror
Suites: trixie trixie-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb deb-src
URIs: ${mirror%/debian}/debian-security
Suites: trixie-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo_cmd rm -f "$root/etc/apt/sources.list"
    # Nothing in the root starts services while packages install.
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$root/usr/sbin/policy-rc.d" >/dev/null
    $sudo_cmd chmod +x "$root/usr/sbin/policy-rc.d"
    in_root scripts/deps.sh --cross >>"$root.log" 2>&1 || { tail -n 20 "$root.log"; exit 1; }
    $sudo_cmd touch "$root/.halvark-complete"
fi
[ $# -eq 0 ] && exit 0
in_root "$@"
