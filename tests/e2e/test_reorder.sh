#!/usr/bin/env bash
# Dragging entry 1 down to row 3 carries its name there, one exchange at a time;
# closing saves the player's order, not the list's.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three

start_app
xdotool windowactivate --sync "$WINDOW"
# Rows of the list, in window coordinates: entry 1 at y 35, then every 14 pixels.
xdotool mousemove --window "$WINDOW" 600 35 sleep 0.2 mousedown 1 sleep 0.2
for y in 40 45 49 55 60 63; do xdotool mousemove --window "$WINDOW" 600 "$y" sleep 0.1; done
xdotool mouseup 1
# The list's order is the one a click sees: row 3 now carries one.wav, row 1 two.wav.
xdotool mousemove --window "$WINDOW" 600 63 click 1
wait_for 20 plays "$MUSIC/one.wav" || fail "row 3 does not carry the dragged entry: $(open_music)"
xdotool mousemove --window "$WINDOW" 600 35 click 1
wait_for 20 plays "$MUSIC/two.wav" || fail "row 1 does not carry two.wav: $(open_music)"
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/reordered.png"
close_app

grep -qx "Song0=$MUSIC/one.wav" "$CONF" && grep -qx "Song1=$MUSIC/two.wav" "$CONF" && grep -qx "Song2=$MUSIC/three.wav" "$CONF" \
  || { cat "$CONF"; fail "closing did not save the player's order"; }
echo "reorder test passed"
