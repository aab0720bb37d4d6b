#!/usr/bin/env bash
# Delete sends the playing file to the Trash; Ctrl+Z brings it back: to its
# folder, out of the Trash, into its place in the list, playing, and saved.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three

start_app
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry did not play"
xdotool windowactivate --sync "$WINDOW"
# Entry two, clicked in the list, plays and the player takes the keyboard;
# Delete then takes it and the next file plays at full screen.
xdotool mousemove --window "$WINDOW" 620 49 click 1
wait_for 20 plays "$MUSIC/two.wav" || fail "a click on entry two did not play it"
xdotool key Delete
wait_for 20 test -f "$XDG_DATA_HOME/Trash/files/two.wav" || fail "two.wav did not reach the Trash"
[[ ! -e $MUSIC/two.wav ]] || fail "two.wav is still in its folder"
import -window root "${SHOT_DIR:-$WORK}/after-delete.png"

wait_for 20 xdotool search --onlyvisible --name '^Thrennic Player$' || fail "the player did not go full screen"
player=$(xdotool search --onlyvisible --name '^Thrennic Player$' | head -n 1)
wait_for 10 bash -c "[[ \$(xdotool getactivewindow) == $player ]]" || fail "the full-screen player never became the active window"
# At full screen the player's own window has the keys.
xdotool key ctrl+z
wait_for 20 test -f "$MUSIC/two.wav" || fail "Ctrl+Z did not bring two.wav back"
[[ -z $(trashed) ]] || fail "the Trash still holds: $(trashed)"
[[ -z $(ls "$XDG_DATA_HOME/Trash/info") ]] || fail "the info file stayed"
wait_for 20 plays "$MUSIC/two.wav" || fail "the restored file does not play"
wait_for 20 grep -qx 'ListCount=3' "$CONF" || { cat "$CONF"; fail "the undo did not save"; }
grep -qx "Song1=$MUSIC/two.wav" "$CONF" || { cat "$CONF"; fail "two.wav is not back in second place"; }
import -window root "${SHOT_DIR:-$WORK}/after-undo.png"
xdotool key Escape
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Thrennic Player$'" || fail "Escape did not leave full screen"
no_dialog || fail "a box appeared"
close_app
grep -qx 'ListCount=3' "$CONF" || fail "the list was not saved on close"
echo "undo test passed"
