#!/usr/bin/env bash
# Delete takes only the file that was heard, tried as a hostile user would: a
# machine with no sound says so; a file replaced on disk stays; a press with the
# mouse button held on another entry takes nothing; a file handed over by a
# later copy is not taken before it has played a moment; and an undo after the
# Trash was emptied and refilled by another program brings back nothing.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three
start_app
xdotool windowactivate --sync "$WINDOW"
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry does not play"

# No sound device or server here: the line under the player's state says so
# (the window's own pixels, x 16 to 520 at row 334, hold its text).
no_sound_line() {
  import -window "$WINDOW" "$WORK/window.png"
  awk -v dark="$(/usr/bin/convert "$WORK/window.png" -crop 504x12+16+328 +repage -colorspace gray \
    -threshold 50% -negate -format '%[fx:mean]' info:)" 'BEGIN { exit !(dark > 0.02) }'
}
wait_for 20 no_sound_line || fail "the screen does not say that nothing can be heard"
cp "$WORK/window.png" "${SHOT_DIR:-$WORK}/no-sound.png"

button() { xdotool mousemove --window "$WINDOW" 136 445 click 1; } # "Delete Playing File …"

# Replaced on disk: two plays, then another program puts a new two.wav in its place.
xdotool mousemove --window "$WINDOW" 620 49 click 1
wait_for 20 plays "$MUSIC/two.wav" || fail "a click on two did not play it"
mv "$MUSIC/two.wav" "$MUSIC/two.heard"
sox -n -r 44100 -c 2 "$MUSIC/two.wav" synth 5 sine 880
button
button
# A click taken after those presses: it plays one.
xdotool mousemove --window "$WINDOW" 620 35 click 1
wait_for 20 plays "$MUSIC/one.wav" || fail "a click on one did not play it"
[[ -z $(trashed) ]] || fail "a file replaced on disk went to the Trash: $(trashed)"
[[ -f $MUSIC/two.wav && -f $MUSIC/two.heard ]] || fail "a file moved"

# The button held on entry three (which selects it) while one plays: Delete takes nothing.
xdotool mousemove --window "$WINDOW" 620 63 mousedown 1
xdotool key Delete
xdotool mouseup 1 # the release plays three
wait_for 20 plays "$MUSIC/three.wav" || fail "the release did not play three"
[[ -z $(trashed) ]] || fail "a press with the button held took: $(trashed)"

# A later copy hands four.wav over: pressed at once, the button takes nothing.
sox -n -r 44100 -c 2 "$MUSIC/four.wav" synth 30 sine 330
sox -n -r 44100 -c 2 "$MUSIC/five.wav" synth 30 sine 550
"$PROGRAM" "$MUSIC/four.wav" >"$WORK/second.log" 2>&1
wait_for 20 plays "$MUSIC/four.wav" || fail "the handed-over file does not play"
button
"$PROGRAM" "$MUSIC/five.wav" >"$WORK/third.log" 2>&1
wait_for 20 plays "$MUSIC/five.wav" || fail "the second hand-over does not play"
[[ -z $(trashed) ]] || fail "a handed-over file nobody heard went: $(trashed)"
# Heard a moment, it goes.
press_until 20 "test -f '$XDG_DATA_HOME/Trash/files/five.wav'" button || fail "five.wav never went"
[[ $(trashed) == five.wav && -f $MUSIC/four.wav ]] || fail "the wrong file went: $(trashed)"

# The Trash emptied, and another program trashes a file of that name from
# another folder: Ctrl+Z brings nothing back and says so.
rm -rf "$XDG_DATA_HOME/Trash/files" "$XDG_DATA_HOME/Trash/info"
mkdir -p "$WORK/other"
sox -n -r 44100 -c 2 "$WORK/other/five.wav" synth 1 sine 220
gio trash "$WORK/other/five.wav"
[[ $(trashed) == five.wav ]] || fail "the other program's file is not in the Trash"
xdotool key ctrl+z
wait_dialog
import -window root "${SHOT_DIR:-$WORK}/undo-refused.png"
xdotool windowactivate --sync "$DIALOG" key Return
wait_for 20 no_dialog || fail "the box stayed open"
[[ ! -e $MUSIC/five.wav ]] || fail "the undo moved another program's file into the music folder"
[[ $(trashed) == five.wav ]] || fail "the other program's file left the Trash"
grep -qx "Path=$WORK/other/five.wav" "$XDG_DATA_HOME/Trash/info/five.wav.trashinfo" \
  || fail "the other program's info file changed"
close_app
echo "only-the-heard-file test passed"
