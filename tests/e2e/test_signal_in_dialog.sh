#!/usr/bin/env bash
# SIGTERM while the samples question is open ends the program after one save of
# the playlist as it was: the samples the user never accepted are not added.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two
start_app
xdotool windowactivate --sync "$WINDOW"
# "Load Sample/Example Files" (272,466, 256 x 27).
xdotool mousemove --window "$WINDOW" 400 479 click 1
wait_dialog
before=$(stat -c %i "$CONF")
kill -TERM "$APP"
wait_for 20 bash -c "! kill -0 $APP" || fail "the program kept running after SIGTERM"
wait "$APP" || fail "the program ended with status $?"
grep -qx 'ListCount=2' "$CONF" || { cat "$CONF"; fail "the playlist as it was is not what was saved"; }
! grep -q 'Samples/' "$CONF" || { cat "$CONF"; fail "samples nobody accepted were saved"; }
[[ "$(stat -c %i "$CONF")" != "$before" ]] || fail "SIGTERM did not save (the file is replaced whole on each save)"
echo "signal in dialog test passed"
