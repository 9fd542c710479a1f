#!/usr/bin/env bash
# Installs what the build, the tests and the armhf cross build need (Debian 12, as root).
# A mirror index that fails to download must not stop the run: apt-get update's status is
# ignored and the install step decides.
set -u
want_cross=${1:-}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
pkgs="build-essential cmake pkg-config libtinyxml-dev libgtest-dev libgmock-dev \
libbenchmark-dev libreadline-dev nlohmann-json3-dev clang-format binutils strace"
if [ "$want_cross" = "--cross" ]; then
    $SUDO dpkg --add-architecture armhf
    pkgs="$pkgs g++-arm-linux-gnueabihf qemu-user libtinyxml-dev:armhf libgtest-dev:armhf libc6:armhf libstdc++6:armhf"
fi
missing=""
for p in $pkgs; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -z "$missing" ]; then
    exit 0
fi
$SUDO apt-get update -q || true
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
