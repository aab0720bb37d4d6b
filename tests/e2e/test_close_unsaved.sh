#!/usr/bin/env bash
# The settings file on a drive that stops taking writes: a close whose last
# save cannot land says so, in a box and on standard error, before the program
# ends; the old file stays whole, and once the drive answers nothing is left
# half written.
source "$(dirname "$0")/lib.sh"
hung_drive config/Kestrelin/placeholder.wav
start_x
export XDG_CONFIG_HOME="$MOUNT/config"
saved_playlist one two
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
before=$(cat "$CONF")
start_app
wait_for 20 plays "$MUSIC/two.wav" || fail "the last entry does not play"

# A file handed over is the last change; its save hangs, and so does the close's.
touch "$FLAG.writes"
sox -n -r 44100 -c 2 "$MUSIC/three.wav" synth 2 sine 330
"$PROGRAM" "$MUSIC/three.wav" >>"$WORK/second.log" 2>&1 || fail "the hand-over failed"
wmctrl -i -c "$WINDOW"
wait_dialog
box_text=$(xdotool getwindowname "$DIALOG")
grep -qF "The playlist could not be saved: the drive of $CONF is not answering." "$WORK/app.log" \
  || { cat "$WORK/app.log"; fail "standard error does not say the list was not saved"; }
import -window root "${SHOT_DIR:-$WORK}/close-unsaved.png"
[[ "$(cat "$BACKING/config/Kestrelin/Kestrelin.conf")" == "$before" ]] || fail "the old file changed"
rm -f "$FLAG.writes"
xdotool windowactivate --sync "$DIALOG" key Return 2>/dev/null || wmctrl -i -c "$DIALOG"
wait_for 20 bash -c "! kill -0 $APP" || fail "the program did not end once the box was answered (box: $box_text)"
# Whole: the old list or the new one.
grep -qx 'ListCount=[23]' "$BACKING/config/Kestrelin/Kestrelin.conf" || fail "the settings file is not whole"
echo "close unsaved test passed"
