#!/usr/bin/env bash
# Rebuilds sample.dll, a code-less library whose only content is the version resource in
# sample.rc, with the mingw-w64 tool chain. The result is committed, so the tests need no
# cross compiler.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-windres sample.rc -O coff -o "$work/sample.res.o"
x86_64-w64-mingw32-gcc -shared -nostdlib -s -Wl,--no-insert-timestamp -Wl,--entry=0 \
    -o sample.dll "$work/sample.res.o"
