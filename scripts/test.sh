#!/usr/bin/env bash
# Installs, builds and runs every test: native with -Werror, the settings page in a browser,
# ASan+UBSan, TSan, the formatting check, the clang thread-safety build, the fuzz harnesses
# (clang, 15 s each on their seeds), the armhf cross build under qemu-user, and what ships
# (packages, install, example host, camera build, API documentation). Exits non-zero on any
# failure.
set -u
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0
step() { echo; echo "==== $*"; }
fail() { echo "FAILED: $*"; status=1; }

bash scripts/install-deps.sh --cross --browser || { echo "dependency install failed"; exit 1; }

suite() {  # name, build dir, extra cmake args...
    local name=$1 dir=$2
    shift 2
    step "$name"
    cmake -S . -B "$dir" -DTARNIS_WERROR=ON "$@" >/dev/null &&
        cmake --build "$dir" -j"$jobs" &&
        (cd "$dir" && ctest --output-on-failure -j"$jobs") || fail "$name"
}

suite "native" build-native -DCMAKE_BUILD_TYPE=Debug
# The settings page of a box camera, a dome and the thermal channel in headless chromium;
# screenshots land in build-native/page-test.
step "settings page in a browser"
/usr/bin/python3 tests/browser/page_test.py build-native/tools/sensorctl/sensorctl \
    build-native/page-test || fail "settings page in a browser"

suite "address+undefined sanitizers" build-asan -DCMAKE_BUILD_TYPE=Debug \
    -DTARNIS_SANITIZE=address,undefined -DTARNIS_BENCH=OFF
# ThreadSanitizer needs a mapping layout that high address randomisation can break;
# run the suite without randomisation.
step "thread sanitizer"
cmake -S . -B build-tsan -DTARNIS_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DTARNIS_SANITIZE=thread \
    -DTARNIS_BENCH=OFF >/dev/null && cmake --build build-tsan -j"$jobs" &&
    (cd build-tsan && setarch "$(uname -m)" -R ctest --output-on-failure -j"$jobs") ||
    fail "thread sanitizer"

step "formatting"
unformatted=$(git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror 2>&1 | grep -c 'error:' || true)
if [ "$unformatted" != "0" ]; then
    git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror 2>&1 | head -20
    fail "formatting"
fi

# The library built with clang and its thread-safety analysis: a member guarded by the
# controller's mutex touched without it, or a function that needs the mutex called without it,
# fails the build.
step "clang thread-safety analysis"
CC=clang CXX=clang++ cmake -S . -B build-clang -DTARNIS_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
    -DTARNIS_TESTS=OFF -DTARNIS_BENCH=OFF -DCMAKE_CXX_FLAGS=-Wthread-safety >/dev/null &&
    cmake --build build-clang --target tarnis -j"$jobs" || fail "clang thread-safety analysis"

step "fuzz harnesses"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTARNIS_WERROR=ON -DTARNIS_FUZZ=ON \
    -DTARNIS_TESTS=OFF -DTARNIS_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build-fuzz -j"$jobs" && bash scripts/fuzz.sh 15 build-fuzz || fail "fuzz harnesses"

suite "armhf under qemu" build-armhf -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake -DTARNIS_BENCH=OFF

# Packages, installed tree, example host (x86 and armhf), camera build, API documentation.
step "shipping"
bash scripts/ship-check.sh build-native build-armhf || fail "shipping"

echo
if [ $status -eq 0 ]; then echo "ALL TEST RUNS PASSED"; else echo "SOME TEST RUNS FAILED"; fi
exit $status
