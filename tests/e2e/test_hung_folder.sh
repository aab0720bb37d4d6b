#!/usr/bin/env bash
# A folder named on a drive that does not answer is walked once the drive
# answers, never added as an entry of its own: meanwhile the window is up and
# the screen counts; then its file joins the list and plays.
source "$(dirname "$0")/lib.sh"
hung_drive set/far.wav
start_x
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
MUSIC="$MOUNT/set" # where plays looks

touch "$FLAG"
"$PROGRAM" "$MOUNT/set" >"$WORK/app.log" 2>&1 & APP=$!
PIDS+=("$APP")
wait_for 30 xdotool search --onlyvisible --name '^Thrennic$' || { cat "$WORK/app.log"; fail "no window while the drive hangs"; }
WINDOW=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
wait_for 20 bash -c "wmctrl -l | grep -qi '^$(printf '0x%08x' "$WINDOW")'" || fail "the window manager never managed the window"
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/hung-folder.png"
rm -f "$FLAG"
wait_for 20 plays "$MOUNT/set/far.wav" ||
  { grep -v '^ALSA' "$WORK/app.log"; fail "the folder's file does not play once its drive answers"; }
close_app
grep -qx 'ListCount=1' "$CONF" && grep -qxF "Song0=$MOUNT/set/far.wav" "$CONF" \
  || { cat "$CONF"; fail "the list is not the folder's one file"; }
echo "hung folder test passed"
