#!/usr/bin/env bash
# The demo: builds both platforms and lays out a program folder for each under out/.
# The game host and the updater join the folders as they arrive; today the folders hold the
# Harbex library and its runtime, and the library's tests show it working on both platforms.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

for preset in linux windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "out/$preset"
    cmake --install "build/$preset" --prefix "out/$preset" >/dev/null
    echo "== out/$preset"
    ls -l "out/$preset"
done
