#!/usr/bin/env bash
# Runs a TSan-built test program with address-space randomisation off where the system allows
# it: clang 14's TSan cannot place its shadow memory under the wider randomisation of newer
# kernels ("unexpected memory mapping"). Where setarch is refused (some containers) the program
# runs as it is.
arch=$(uname -m)
if setarch "$arch" -R true >/dev/null 2>&1; then
    exec setarch "$arch" -R "$@"
fi
exec "$@"
