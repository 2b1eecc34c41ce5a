#!/usr/bin/env bash
# The demo: builds both platforms and lays out a program folder for each under out/.
# Today the folders hold the Harbex library, the lobby stand-in, the skin, the demo game and the
# sample ini files; the game host and the updater join them as they are built.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

for preset in linux windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "out/$preset"
    cmake --install "build/$preset" --prefix "out/$preset" >/dev/null
    echo "== out/$preset"
    ls "out/$preset"
done

echo
echo "The demo game's page: $(pwd)/out/linux/Wendrel/index.html (it plays in a browser too)."
