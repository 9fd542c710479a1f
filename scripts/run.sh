#!/usr/bin/env bash
# Installs, builds and runs sensorctl on the bundled demonstration script.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target sensorctl
# The library's own console output goes to a file so that the terminal shows the results.
exec build/tools/sensorctl/sensorctl --root build/sensorctl-root \
    --library-log build/sensorctl-library.log "${@:-tools/sensorctl/demo.txt}"
