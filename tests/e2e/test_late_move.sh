#!/usr/bin/env bash
# A drive that stops answering in the middle of a move and then carries it out:
# the window says at once that the drive is not answering, and once the move
# lands after all it counts as done. A file the Trash took late can be taken
# back with Ctrl+Z; one brought back late is in the list again; one moved to a
# folder late leaves the list and can be taken back too.
source "$(dirname "$0")/lib.sh"
hung_drive far.wav
start_x

saved_playlist one
mkdir -p "$BACKING/Keep"
printf '[Thrennic]\nListCount=2\nSong0=%s\nSong1=%s\n\n[Folders]\n1=%s\n' \
  "$MOUNT/far.wav" "$MUSIC/one.wav" "$MOUNT/Keep" >"$CONF"
WRITES="$FLAG.writes"
start_app
wait_for 20 plays "$MUSIC/one.wav" || fail "the last entry does not play"
xdotool windowactivate --sync "$WINDOW"

far_plays() { [[ "$(ls -l /proc/$APP/fd 2>/dev/null)" == *"$MOUNT/far.wav"* ]]; }
# saved N: the list saved holds N entries, far.wav among them or not (yes/no).
saved() {
  wait_for 20 bash -c "grep -qx 'ListCount=$1' '$CONF' && [[ \$(grep -c 'far.wav' '$CONF') == $([[ $2 == yes ]] && echo 1 || echo 0) ]]" \
    || { cat "$CONF"; fail "${3:-the saved list is not $1 entries with far.wav: $2}"; }
}
# box_then_answer ACTION...: ACTION while the drive's writes hang; the box that
# says so comes within two seconds; then the drive answers and the box is closed.
box_then_answer() {
  touch "$WRITES"
  local asked=$SECONDS
  "$@"
  wait_for 10 bash -c "xdotool search --onlyvisible --pid $APP | grep -qvx $WINDOW" || fail "no box came"
  ((SECONDS - asked <= 3)) || fail "the box took $((SECONDS - asked)) s"
  wait_dialog
  rm -f "$WRITES"
}
close_box() {
  wmctrl -i -c "$DIALOG"
  wait_for 20 no_dialog || fail "the box did not close"
  xdotool windowactivate --sync "$WINDOW"
}

# A Delete the Trash takes late.
xdotool mousemove --window "$WINDOW" 620 35 click 1
wait_for 20 far_plays || fail "far.wav does not play"
box_then_answer xdotool mousemove --window "$WINDOW" 136 445 click 1
wait_for 20 test -f "$BACKING/.Trash-0/files/far.wav" || fail "the late move to the Trash never landed"
close_box
saved 1 no
# The late landing reaches the undo stack only once the box is closed, a moment
# after: Ctrl+Z is pressed again until it finds it.
press_until 20 "[[ -f '$BACKING/far.wav' ]]" xdotool key ctrl+z \
  || fail "Ctrl+Z did not bring back the file the Trash took late"
saved 2 yes

# An undo that lands late.
wait_for 20 far_plays || fail "far.wav does not play once back"
press_until 20 "[[ -f '$BACKING/.Trash-0/files/far.wav' ]]" \
  xdotool mousemove --window "$WINDOW" 136 445 click 1 || fail "far.wav did not go to the Trash"
saved 1 no
box_then_answer xdotool key ctrl+z
wait_for 20 test -f "$BACKING/far.wav" || fail "the late undo never landed"
close_box
saved 2 yes "the file brought back late is not in the list again"

# A move to a folder that lands late.
xdotool mousemove --window "$WINDOW" 620 35 click 1
wait_for 20 far_plays || fail "far.wav does not play"
# Ctrl+1 is pressed again until it is taken: moves wait out the pause after the last delete.
touch "$WRITES"
press_until 20 "xdotool search --onlyvisible --pid $APP | grep -qvx $WINDOW" xdotool key ctrl+1 \
  || fail "no box came"
wait_dialog
rm -f "$WRITES"
wait_for 20 test -f "$BACKING/Keep/far.wav" || fail "the late move to the folder never landed"
close_box
saved 1 no "the entry of the file moved late stayed in the list"
press_until 20 "[[ -f '$BACKING/far.wav' ]]" xdotool key ctrl+z \
  || fail "Ctrl+Z did not bring back the file moved late"
saved 2 yes
close_app
echo "late move test passed"
