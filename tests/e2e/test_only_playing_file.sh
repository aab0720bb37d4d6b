#!/usr/bin/env bash
# Delete pressed in the program's own dialogs takes no file; a held Delete takes
# one; the file the program holds open afterwards is the one its list selects.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three four
start_app
xdotool windowactivate --sync "$WINDOW"
wait_for 20 plays "$MUSIC/four.wav" || fail "the restored last entry does not play: $(open_music)"

# "Show Keyboard Shortcuts" (8,466, 256 x 27): Delete in its box.
xdotool mousemove --window "$WINDOW" 136 479 click 1
wait_dialog
xdotool windowactivate --sync "$DIALOG" key Delete key Delete
import -window root "${SHOT_DIR:-$WORK}/delete-in-shortcut-box.png"
xdotool key Return
wait_for 20 no_dialog || fail "the box stayed open"
[[ -z "$(trashed)" ]] || fail "Delete in the shortcut box trashed: $(trashed)"

# "Add Files To Playlist" (8,398): Delete in the file-name field edits the name only.
xdotool mousemove --window "$WINDOW" 136 411 click 1
wait_dialog
xdotool windowactivate --sync "$DIALOG" type "x.wav"
xdotool key Home Delete Delete
import -window root "${SHOT_DIR:-$WORK}/delete-in-open-dialog.png"
xdotool key Escape
wait_for 20 no_dialog || fail "the dialog stayed open"
[[ -z "$(trashed)" ]] || fail "Delete in the Open dialog trashed: $(trashed)"
[[ $(open_music) == "$MUSIC/four.wav" ]] || fail "playback moved: $(open_music)"

# Entry 1 (list row at y 35) clicked plays one.wav; Delete held for 4.5 s is one press.
xdotool windowactivate --sync "$WINDOW"
xdotool mousemove --window "$WINDOW" 600 35 click 1
wait_for 20 plays "$MUSIC/one.wav" || fail "the click did not play one.wav: $(open_music)"
xdotool mousemove --window "$WINDOW" 260 150 click 1 # the player's screen: the keyboard
xdotool keydown Delete
sleep 4.5 # the key held down: the X server repeats it meanwhile
xdotool keyup Delete
wait_for 20 test -f "$XDG_DATA_HOME/Trash/files/one.wav" || fail "one.wav did not reach the Trash"
wait_for 20 plays "$MUSIC/two.wav" || fail "two.wav does not play: $(open_music)"
held=$(trashed | tr '\n' ' ')
[[ $held == "one.wav " ]] || fail "a held key took more than one file: $held"
import -window root "${SHOT_DIR:-$WORK}/after-held-delete.png"
xdotool key Escape
close_app
grep -qx 'ListCount=3' "$CONF" || { cat "$CONF"; fail "the delete was not saved"; }
echo "only-the-playing-file test passed"
