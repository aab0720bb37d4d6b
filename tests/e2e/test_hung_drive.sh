#!/usr/bin/env bash
# A drive that stops answering never holds the window: with an entry on it in
# the saved list the window comes up, the entry shown and kept; a Delete of a
# file there moves nothing; a read there that hangs does not hold the player;
# closing while it hangs ends the program within two seconds.
source "$(dirname "$0")/lib.sh"
hung_drive far.wav
start_x

saved_playlist one two
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
printf '[Thrennic]\nListCount=3\nSong0=%s\nSong1=%s\nSong2=%s\n' \
  "$MUSIC/one.wav" "$MOUNT/far.wav" "$MUSIC/two.wav" >"$CONF"

# The drive stops answering before the start.
touch "$FLAG"
started=$SECONDS
start_app
((SECONDS - started < 10)) || fail "the window took $((SECONDS - started)) s"
wait_for 20 plays "$MUSIC/two.wav" || fail "the last entry does not play"
xdotool windowactivate --sync "$WINDOW"
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/hung-entry.png"

# Entry two (far.wav) chosen while its drive hangs, then the delete button.
xdotool mousemove --window "$WINDOW" 620 49 click 1
xdotool mousemove --window "$WINDOW" 136 445 click 1
# Answered at once, the window takes the next click: one plays.
xdotool mousemove --window "$WINDOW" 620 35 click 1
wait_for 20 plays "$MUSIC/one.wav" || fail "the window did not take the click after the delete"
[[ -z $(trashed) ]] || fail "a file moved: $(trashed)"

# Once the drive answers again (the program learns it a moment later), far.wav
# plays; then it stops answering mid-read.
rm -f "$FLAG"
press_until 20 "[[ \"\$(ls -l /proc/$APP/fd 2>/dev/null)\" == *'$MOUNT/far.wav'* ]]" \
  xdotool mousemove --window "$WINDOW" 620 49 click 1 || fail "far.wav does not play once its drive answers"
touch "$FLAG"
press_until 3 false xdotool mousemove --window "$WINDOW" 136 445 click 1 || true # pressed for 3 s
[[ -z $(trashed) && -f $BACKING/far.wav ]] || fail "a file on the dead drive moved: $(trashed)"

# The player is not held by the read that hangs: another entry plays at once.
xdotool mousemove --window "$WINDOW" 620 63 click 1
wait_for 10 plays "$MUSIC/two.wav" || fail "the player stays on the file whose read hangs"

# Closed while the read hangs, the program ends within two seconds.
wmctrl -i -c "$WINDOW"
closed=$SECONDS
wait_for 10 bash -c "! kill -0 $APP" || fail "the program did not end"
((SECONDS - closed <= 2)) || fail "the program took $((SECONDS - closed)) s to end"
grep -qx 'ListCount=3' "$CONF" && grep -qxF "Song1=$MOUNT/far.wav" "$CONF" \
  || { cat "$CONF"; fail "the entry on the dead drive was not kept in the saved list"; }
echo "hung drive test passed"
