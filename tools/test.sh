#!/usr/bin/env bash
# Builds and tests every preset: Linux, Linux with sanitizers and fuzzing, the threaded parts
# under TSan, and Windows under Wine. Ends with CTest's summary of each.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

# One virtual display for every test that needs one, and one Wine server kept warm.
if [ -z "${DISPLAY:-}" ]; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=$display
    sleep 1
fi

status=0
run_preset() {
    local preset=$1
    shift
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null || return 1
    cmake --build --preset "$preset" "$@" || return 1
    if ctest --preset "$preset"; then
        return 0
    fi
    # Tests that drive programs on the shared display can lose a click or a window to timing
    # now and then. What failed runs once more, and stays a failure if it fails again; a test
    # that passes only the second time is named here, so it is seen and not forgotten.
    echo "=== $preset: running the failed tests once more ==="
    ctest --preset "$preset" --rerun-failed || return 1
    echo "=== $preset: passed only on a second run (see the first run above) ==="
}

run_preset linux || status=1
run_preset windows || status=1
run_preset linux-asan || status=1
run_preset linux-tsan --target lobby_tsan_tests || status=1

exit $status
