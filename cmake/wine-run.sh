#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest: the build's own prefix (made on first use),
# code page 936, no Wine dialogs, and a virtual display when none is set.
set -euo pipefail

exe=$1
# Wine waits on a missing program instead of failing: fail at once.
if [ ! -f "$exe" ]; then
    echo "wine-run: no such program: $exe" >&2
    exit 127
fi
# The prefix lives in the build folder; a program installed elsewhere names that folder.
build_dir=${LOBBY_WINE_BUILD_DIR:-$(cd "$(dirname "$exe")/.." && pwd)}
export WINEPREFIX="$build_dir/wineprefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installers, no menu entries: nothing may ask a question.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

if [ ! -f "$WINEPREFIX/.lobby-ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.lobby-ready" ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w || true
            touch "$WINEPREFIX/.lobby-ready"
        fi
    ) 9>"$build_dir/wineprefix.lock"
fi

# Wine's background services inherit the program's output streams and can outlive it; if those
# were CTest's pipes, CTest would wait for them. So the program writes to a file, shown after.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@" </dev/null >"$output" 2>&1 || status=$?
else
    wine "$@" </dev/null >"$output" 2>&1 || status=$?
fi
cat "$output"
exit $status
