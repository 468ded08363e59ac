#!/usr/bin/env bash
# Sets up, builds, installs the portable folder into dist/ and starts Pellix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLIX_BUILD_TESTS=OFF -DPELLIX_BUILD_BENCH=OFF
cmake --build build -j2
cmake --install build --prefix "$PWD/dist"
exec dist/pellix "$@"
