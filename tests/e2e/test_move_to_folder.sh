#!/usr/bin/env bash
# With a folder bound to Ctrl+1 in the settings file beforehand, Ctrl+1 moves the
# playing file there and the next one plays; Ctrl+Z brings it back, playing.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three
KEEP="$WORK/sorted/Keep"
mkdir -p "$KEEP"
printf '\n[Folders]\n1=%s\n' "$KEEP" >> "$CONF"

start_app
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry did not play"
xdotool windowactivate --sync "$WINDOW"
xdotool mousemove --window "$WINDOW" 620 49 click 1
wait_for 20 plays "$MUSIC/two.wav" || fail "a click on entry two did not play it"
xdotool key ctrl+1
wait_for 20 test -f "$KEEP/two.wav" || fail "Ctrl+1 did not move two.wav to the bound folder"
[[ ! -e $MUSIC/two.wav ]] || fail "two.wav is still in its folder"
wait_for 20 plays "$MUSIC/three.wav" || fail "the next file did not play"
wait_for 20 grep -qx 'ListCount=2' "$CONF" || { cat "$CONF"; fail "the move did not save"; }
grep -qx "1=$KEEP" "$CONF" || { cat "$CONF"; fail "the binding was lost"; }
[[ -z $(trashed) ]] || fail "something went to the Trash: $(trashed)"
import -window root "${SHOT_DIR:-$WORK}/after-move.png"

xdotool key ctrl+z
wait_for 20 test -f "$MUSIC/two.wav" || fail "Ctrl+Z did not bring two.wav back"
[[ ! -e $KEEP/two.wav ]] || fail "two.wav is still in the bound folder"
wait_for 20 plays "$MUSIC/two.wav" || fail "the file moved back does not play"
wait_for 20 grep -qx "Song1=$MUSIC/two.wav" "$CONF" || { cat "$CONF"; fail "two.wav is not back in second place"; }
no_dialog || fail "a box appeared"
close_app
grep -qx 'ListCount=3' "$CONF" || fail "the list was not saved on close"
echo "move to folder test passed"
