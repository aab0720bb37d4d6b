#!/usr/bin/env bash
# A close of the main window sent through the window manager while the box that
# reports a refused Trash is open is not lost: the program saves once and ends.
# A close of the box itself closes only the box.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three
# A plain file where the Trash folder belongs: every trash of a file here fails.
touch "$XDG_DATA_HOME/Trash"

start_app
xdotool windowactivate --sync "$WINDOW"
# "Delete Playing File To Recycle Bin" (8,432, 256 x 27).
press_until 20 "xdotool search --onlyvisible --pid $APP | grep -qvx $WINDOW" \
  xdotool mousemove --window "$WINDOW" 136 445 click 1 || fail "no box came"
wait_dialog
[[ -f "$MUSIC/three.wav" ]] || fail "the file left although the Trash refused it"
# The box itself closed through the window manager: only the box goes.
wmctrl -i -c "$DIALOG"
wait_for 20 no_dialog || fail "the box did not close"
kill -0 "$APP" || fail "closing the box ended the program"
xdotool search --onlyvisible --pid "$APP" | grep -qx "$WINDOW" || fail "closing the box closed the main window"
# The refused file stays on disk; its entry has left the list, as after any delete.
[[ -f "$MUSIC/three.wav" ]] || fail "the refused file left"
# And once more, to close the main window while the box is up.
press_until 20 "xdotool search --onlyvisible --pid $APP | grep -qvx $WINDOW" \
  xdotool mousemove --window "$WINDOW" 136 445 click 1 || fail "no box came the second time"
wait_dialog
before=$(stat -c %i "$CONF")
wmctrl -i -c "$WINDOW"
wait_for 20 bash -c "! kill -0 $APP" || { import -window root "${SHOT_DIR:-$WORK}/close-lost.png"; fail "the close was lost while the box was open"; }
wait "$APP" || fail "the program ended with status $?"
[[ "$(stat -c %i "$CONF")" != "$before" ]] || fail "the close did not save (the file is replaced whole on each save)"
grep -qx 'ListCount=2' "$CONF" || { cat "$CONF"; fail "the playlist as it was is not what was saved"; }
echo "close during trash failure test passed"
