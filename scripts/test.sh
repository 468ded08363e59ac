#!/usr/bin/env bash
# Sets up, builds and runs every test suite: on Linux, then the Windows build under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIX_BUILD_TESTS=ON -DPELLIX_BUILD_BENCH=ON
cmake --build build-test -j2
ctest --test-dir build-test --output-on-failure -j2
# The same libraries, companion programs and their tests built for Windows, run under wine.
scripts/test-windows.sh
