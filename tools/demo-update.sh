# The updater's part of the demo, sourced by tools/demo.sh (which sets root, player, pids,
# record and wait_for_window): a local update server offers the demo game, the lobby stand-in
# listens, and Dravel installs the game into the player's folder.

server_root="$root/out/demo-server"
rm -rf "$server_root"
python3 tools/make_demo_manifests.py --out "$server_root" >/dev/null

# Like a real network, the server sends the game's script slowly, so the progress shows.
faults="$root/out/demo-server-faults.txt"
echo "/Vorsel/Wendrel/game.js rate=6000" >"$faults"
port_file="$root/out/demo-server-port.txt"
rm -f "$port_file"
build/linux/bin/lobby_test_server --root "$server_root" --faults "$faults" \
    --port-file "$port_file" --lifetime 900 >/dev/null &
pids+=($!)
for _ in $(seq 1 100); do
    [ -s "$port_file" ] && break
    sleep 0.1
done
port=$(cat "$port_file")
printf '[URL]\r\nMainPage=lobby\\index.html\r\nDownLoadsAddress=http://127.0.0.1:%s/\r\n' "$port" \
    >"$player/LobbyUrl.ini"

update_record="$root/out/demo-update-lobby.txt"
rm -f "$update_record"
"$player/Kestrune" --record "$update_record" >>"$root/out/demo-programs.log" 2>&1 &
kestrune=$!
pids+=($kestrune)
sleep 0.5

"$player/Dravel" 12_Update.xml 12 >>"$root/out/demo-programs.log" 2>&1 &
dravel=$!
pids+=($dravel)
for _ in $(seq 1 100); do
    if xdotool search --onlyvisible --name '^Dravel$' >/dev/null 2>&1; then
        sleep 1.5
        import -window root "$root/out/demo-dravel.png"
        break
    fi
    sleep 0.1
done
wait "$dravel" || true
kill "$kestrune" 2>/dev/null || true
wait "$kestrune" 2>/dev/null || true

if [ ! -f "$player/Wendrel/index.html" ]; then
    echo "demo: the updater did not install the game; see $update_record" >&2
    exit 1
fi
echo "The updater installed the demo game from http://127.0.0.1:$port/ into $player."
echo "  progress window:       $root/out/demo-dravel.png"
echo "  what the lobby got:    $update_record"
echo "  installed version:     $(tr -d '\r' <"$player/version.ini" | grep -i update || true)"
