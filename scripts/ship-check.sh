#!/usr/bin/env bash
# What a camera maker takes, checked from the builds scripts/test.sh has made:
#   - the Debian packages of the native (amd64) and cross (armhf) builds: architecture,
#     contents, lintian without errors;
#   - an install into a temporary prefix, and the example host built from it alone, with
#     find_package(tarnis) and with pkg-config, run natively and for armhf under qemu;
#   - the camera build: a stand-in SDK (framework stand-ins and a fake image-adjust library)
#     installed into a prefix of its own, the library built in device mode against it only,
#     its dynamic section checked, and the example host run against it;
#   - the API documentation, with warnings (undocumented public members) as errors.
# Usage: scripts/ship-check.sh NATIVE_BUILD_DIR ARMHF_BUILD_DIR. Exits non-zero on a failure.
set -u
cd "$(dirname "$0")/.."
src=$(pwd)
native=$(realpath "${1:-build-native}")
armhf=$(realpath "${2:-build-armhf}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)
status=0

# Runs a step quietly; on failure shows its output.
check() {
    local what=$1
    shift
    if "$@" >"$work/step.log" 2>&1; then
        echo "ok: $what"
    else
        cat "$work/step.log"
        echo "FAILED: $what"
        status=1
    fi
}

libdir_of() {  # build dir -> the install's library folder, relative to the prefix
    sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$1/CMakeCache.txt"
}

# ---- packages ----
packages() {  # build dir, Debian architecture
    local build=$1 arch=$2
    rm -rf "$build/packages"
    (cd "$build" && cpack -G DEB) || return 1
    local lib
    lib=$(libdir_of "$build")
    declare -A want=(
        [libtarnis1]="usr/$lib/libtarnis.so.1.0.0 usr/$lib/libtarnis.so.1 usr/share/doc/libtarnis1/copyright"
        [libtarnis-dev]="usr/include/tarnis/ISensorController.h usr/include/tarnis/SensorKeyNames.h usr/$lib/libtarnis.so usr/$lib/pkgconfig/tarnis.pc usr/$lib/cmake/tarnis/tarnisConfig.cmake"
        [libtarnis-sim1]="usr/$lib/libhostfw.so.1 usr/$lib/libiasim.so.1"
        [tarnis-tools]="usr/bin/sensorctl usr/share/tarnis/device/style/Style.xml"
    )
    local name deb file
    for name in "${!want[@]}"; do
        deb="$build/packages/${name}_1.0.0_$arch.deb"
        dpkg-deb --info "$deb" | grep -qx " Architecture: $arch" ||
            { echo "$deb: not $arch"; return 1; }
        dpkg-deb --info "$deb" | grep -q "^ Depends:.*libtinyxml2.6.2v5" ||
            [ "$name" = tarnis-tools ] || [ "$name" = libtarnis-dev ] ||
            { echo "$deb: no TinyXML dependency"; return 1; }
        for file in ${want[$name]}; do
            dpkg-deb --contents "$deb" | grep -q " \./$file\( \|$\)" ||
                { echo "$deb: lacks $file"; return 1; }
        done
    done
    dpkg-deb --info "$build/packages/libtarnis1_1.0.0_$arch.deb" |
        grep -q "^ Depends:.*libtarnis-sim1 (= 1.0.0)" || { echo "libtarnis1: sim dependency"; return 1; }
    lintian --fail-on error --suppress-tags package-name-doesnt-match-sonames \
        "$build"/packages/*.deb
}

# ---- an installed tree and the example host built from it ----
install_tree() {  # build dir, prefix
    rm -rf "$2"
    cmake --install "$1" --prefix "$2" >/dev/null || return 1
    local lib="$2/$(libdir_of "$1")/libtarnis.so.1.0.0"
    readelf -d "$lib" | grep -q 'Library soname: \[libtarnis.so.1\]' || { echo "no SONAME"; return 1; }
    ! readelf -d "$lib" | grep -q 'RUNPATH\|RPATH' || { echo "installed library has a RUNPATH"; return 1; }
    # Every installed header compiles on its own.
    local h
    for h in "$2"/include/tarnis/*.h; do
        echo "#include <tarnis/$(basename "$h")>" |
            ${CXX_FOR_CHECK:-g++} -std=c++17 -Wall -Wextra -Werror -fsyntax-only -x c++ \
                -I"$2/include" - || { echo "$h does not compile alone"; return 1; }
    done
}

# A camera's files for the example host, from the installed device data.
sandbox() {  # prefix, root
    local data=$1/share/tarnis/device root=$2
    rm -rf "$root"
    mkdir -p "$root/hd1/moduleConfig/sensorConfig" "$root/mnt/mtd/code/factory_setting" \
        "$root/mnt/mtd/code/config_file" "$root/mnt/mtd/log" "$root/tmp" &&
        cp -r "$data/style" "$data/styleDiversity" "$root/hd1/moduleConfig/sensorConfig/" &&
        cp "$data/moduleConfig.xml" "$root/hd1/moduleConfig/" &&
        cp "$data/machineinfo.ini" "$root/mnt/mtd/code/factory_setting/"
}

run_host() {  # program, library path, [emulator...]
    local program=$1 libs=$2
    shift 2
    sandbox "$prefix" "$work/root" || return 1
    SENSOR_ROOT=$work/root SENSOR_TIME_SCALE=0.01 LD_LIBRARY_PATH=$libs \
        "$@" "$program" >"$work/host.out" || { cat "$work/host.out"; return 1; }
    grep -q "host_minimal: all steps succeeded" "$work/host.out"
}

example_cmake() {  # prefix, build dir, library path for the run, extra cmake args...
    local prefix=$1 dir=$2 libs=$3
    shift 3
    rm -rf "$dir"
    cmake -S examples -B "$dir" -DCMAKE_PREFIX_PATH="$prefix" "$@" >/dev/null &&
        cmake --build "$dir" >/dev/null &&
        run_host "$dir/host_minimal" "$libs" ${EMULATOR:-}
}

example_pkgconfig() {  # prefix, compiler, pkg-config search path, output, library path
    local prefix=$1 cxx=$2 pcpath=$3 out=$4 libs=$5
    local flags
    flags=$(PKG_CONFIG_LIBDIR=$pcpath pkg-config --cflags --libs tarnis) || return 1
    # shellcheck disable=SC2086
    $cxx -std=c++17 -Wall -Wextra -Werror examples/host_minimal.cpp $flags -o "$out" &&
        run_host "$out" "$libs" ${EMULATOR:-}
}

native_lib=$(libdir_of "$native")
armhf_lib=$(libdir_of "$armhf")

check "packages amd64 (dpkg-deb, lintian)" packages "$native" amd64
check "packages armhf (dpkg-deb, lintian)" packages "$armhf" armhf

prefix=$work/native
check "install into a temporary prefix (amd64)" install_tree "$native" "$prefix"
check "example host amd64, find_package(tarnis)" example_cmake "$prefix" "$work/ex-native" \
    "$prefix/$native_lib"
check "example host amd64, pkg-config" example_pkgconfig "$prefix" g++ \
    "$prefix/$native_lib/pkgconfig:/usr/lib/x86_64-linux-gnu/pkgconfig:/usr/share/pkgconfig" \
    "$work/host-pc" "$prefix/$native_lib"

prefix=$work/armhf
CXX_FOR_CHECK=arm-linux-gnueabihf-g++ check "install into a temporary prefix (armhf)" \
    install_tree "$armhf" "$prefix"
EMULATOR="qemu-arm -L /" check "example host armhf under qemu, find_package(tarnis)" \
    example_cmake "$prefix" "$work/ex-armhf" "$prefix/$armhf_lib" \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/armhf-toolchain.cmake"
EMULATOR="qemu-arm -L /" check "example host armhf under qemu, pkg-config" example_pkgconfig \
    "$prefix" arm-linux-gnueabihf-g++ \
    "$prefix/$armhf_lib/pkgconfig:/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig" \
    "$work/host-pc-armhf" "$prefix/$armhf_lib"

# ---- the camera build ----
sdk=$work/sdk
device_build() {
    cmake -S tests/sdk -B "$work/build-sdk" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build "$work/build-sdk" -j"$jobs" >/dev/null &&
        cmake --install "$work/build-sdk" --prefix "$sdk" >/dev/null &&
        cmake -S . -B "$work/build-device" -DTARNIS_PLATFORM=device -DTARNIS_WERROR=ON \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$sdk" \
            -DTARNIS_IMAGE_ADJUST_LIBRARY="$sdk/lib/libfakeia.so" >/dev/null &&
        cmake --build "$work/build-device" -j"$jobs" >/dev/null
}
device_dynamic_section() {
    local lib=$work/build-device/libtarnis.so dyn
    dyn=$(readelf -d "$lib") || return 1
    echo "$dyn"
    echo "$dyn" | grep -q 'Library soname: \[libtarnis.so.1\]' || { echo "no SONAME"; return 1; }
    ! echo "$dyn" | grep -q 'RUNPATH\|RPATH' || { echo "has a RUNPATH"; return 1; }
    local needed other
    needed=$(echo "$dyn" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    for lib in libhostfw.so.1 libfakeia.so.1 libtinyxml.so.2.6.2 libstdc++.so.6 libc.so.6; do
        echo "$needed" | grep -qx "$lib" || { echo "does not need $lib"; return 1; }
    done
    other=$(echo "$needed" | grep -vxE 'lib(hostfw|fakeia)\.so\.1|libtinyxml\.so\.2\.6\.2|libstdc\+\+\.so\.6|lib(c|m)\.so\.6|libgcc_s\.so\.1')
    [ -z "$other" ] || { echo "needs more: $other"; return 1; }
}
check "camera build against the stand-in SDK only" device_build
check "camera build: SONAME, no RUNPATH, NEEDED only TinyXML, runtime and SDK" device_dynamic_section
prefix=$work/device
device_lib=$(libdir_of "$work/build-device" 2>/dev/null)
check "camera build: install" install_tree "$work/build-device" "$prefix"
check "camera build: example host" example_cmake "$prefix" "$work/ex-device" \
    "$prefix/$device_lib:$sdk/lib" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-rpath-link,$sdk/lib"

# ---- API documentation ----
check "API documentation (Doxygen, warnings as errors)" cmake --build "$native" --target docs

exit $status
