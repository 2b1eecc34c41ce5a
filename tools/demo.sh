#!/usr/bin/env bash
# The demo: builds both platforms and lays out a program folder for each under out/, lets the
# updater install the demo game from a local update server, then starts the lobby stand-in and
# the game host in the lobby form on that game. Without a display it all runs on a virtual one,
# leaves screenshots under out/ and closes the game itself.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/setup.sh

for preset in linux windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "out/$preset"
    cmake --install "build/$preset" --prefix "out/$preset" >/dev/null
done

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    display=:$((90 + RANDOM % 9))
    Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    sleep 1
fi

wait_for_window() {
    for _ in $(seq 1 150); do
        if xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; then
            sleep 3  # the first paint and the page
            return 0
        fi
        sleep 0.2
    done
    echo "demo: no window named $1 appeared" >&2
    return 1
}

# What the programs print (the browser's complaints about a machine without sound, say).
rm -f "$root/out/demo-programs.log"

# A player's folder: the Linux program folder without the demo game, which the updater brings.
player="$root/out/player"
rm -rf "$player"
cp -r out/linux "$player"
rm -rf "$player/Wendrel"

# The local update server and the updater installing the game from it.
# shellcheck source=tools/demo-update.sh
source tools/demo-update.sh

record="$root/out/demo-lobby.txt"
rm -f "$record"
"$player/Kestrune" --record "$record" >>"$root/out/demo-programs.log" 2>&1 &
pids+=($!)
sleep 0.5

"$player/Quorin" 1001 demo 12 1 127.0.0.1 8000 1 1 2 3 Wendrel >>"$root/out/demo-programs.log" 2>&1 &
quorin=$!
pids+=($quorin)
wait_for_window Wendrel
import -window root "$root/out/demo-quorin.png"

echo
echo "The game host runs the demo game from $player."
echo "  screenshot:            $root/out/demo-quorin.png"
echo "  what the lobby got:    $record"
echo "  Windows program folder: $root/out/windows (Quorin.exe, Dravel.exe, Harbex.dll, ...)"
if [ "$headless" = 1 ]; then
    # Close it as a player would: the close button, then the game's own "leave" prompt.
    window=$(xdotool search --onlyvisible --name '^Wendrel$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 1010)) $((Y + 12)) click 1
    sleep 1.5
    import -window root "$root/out/demo-quorin-close.png"
    xdotool mousemove $((X + 447)) $((Y + 416)) click 1
    wait "$quorin" || true
    echo "  the close prompt:      $root/out/demo-quorin-close.png"
    echo
    echo "The lobby stand-in recorded:"
    cat "$record"
else
    echo "Play, then close the window to end the demo."
    wait "$quorin" || true
fi
