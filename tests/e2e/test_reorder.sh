#!/usr/bin/env bash
# Dragging entry 1 down to row 3 carries its name there, one exchange at a time;
# closing saves the player's order, not the list's.
source "$(dirname "$0")/lib.sh"
start_x

music="$WORK/music"
mkdir -p "$music" "$XDG_CONFIG_HOME/Kestrelin"
for name in one two three; do sox -n -r 44100 -c 2 "$music/$name.wav" synth 30 sine 440; done
conf="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
printf '[Thrennic]\nListCount=3\nSong0=%s\nSong1=%s\nSong2=%s\n' \
  "$music/one.wav" "$music/two.wav" "$music/three.wav" > "$conf"

start_app
xdotool windowactivate --sync "$WINDOW"
# Rows of the list, in window coordinates: entry 1 at y 35, then every 14 pixels.
xdotool mousemove --window "$WINDOW" 600 35 sleep 0.2 mousedown 1 sleep 0.2
for y in 40 45 49 55 60 63; do xdotool mousemove --window "$WINDOW" 600 "$y" sleep 0.1; done
xdotool mouseup 1
sleep 0.3
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/reordered.png"
close_app

grep -qx "Song0=$music/one.wav" "$conf" && grep -qx "Song1=$music/two.wav" "$conf" && grep -qx "Song2=$music/three.wav" "$conf" \
  || { cat "$conf"; fail "closing did not save the player's order"; }
echo "reorder test passed"
