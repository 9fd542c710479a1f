#!/usr/bin/env bash
# Installs, builds and runs sensorctl on the bundled demonstration script.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target sensorctl
exec build/tools/sensorctl/sensorctl --root build/sensorctl-root "${@:-tools/sensorctl/demo.txt}"
