#!/usr/bin/env bash
# Installs what the build, the tests, the fuzz harnesses and the armhf cross build need
# (Debian 12, as root). --cross adds the armhf cross build, --browser the browser test of the
# settings page. The fuzzer and sanitizer runtimes of clang come in libclang-rt-14-dev, which
# --no-install-recommends leaves out of a plain clang install, so it is named here.
# A mirror index that fails to download must not stop the run: apt-get update's status is
# ignored and the install step decides.
set -u
want_cross=""
want_browser=""
for arg in "$@"; do
    case "$arg" in
        --cross) want_cross=--cross ;;
        --browser) want_browser=--browser ;;
        *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
pkgs="build-essential cmake pkg-config libtinyxml-dev libgtest-dev libgmock-dev \
libbenchmark-dev libreadline-dev nlohmann-json3-dev clang-format binutils strace lintian doxygen \
clang libclang-rt-14-dev"
if [ "$want_cross" = "--cross" ]; then
    $SUDO dpkg --add-architecture armhf
    pkgs="$pkgs g++-arm-linux-gnueabihf qemu-user libtinyxml-dev:armhf libgtest-dev:armhf libc6:armhf libstdc++6:armhf"
fi
if [ "$want_browser" = "--browser" ]; then
    pkgs="$pkgs chromium chromium-driver python3-selenium"
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
