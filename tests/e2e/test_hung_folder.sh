#!/usr/bin/env bash
# A folder named on a drive that does not answer is walked once the drive
# answers, never added as an entry of its own: meanwhile the window is up and
# the screen counts; then its file joins the list and plays.
source "$(dirname "$0")/lib.sh"
[[ -e /dev/fuse && $(id -u) -eq 0 ]] || { echo "needs /dev/fuse and root to mount"; exit 77; }
HUNG_FS="$(dirname "$PROGRAM")/tests/hung_fs"
BACKING="$WORK/backing" MOUNT="$WORK/share" FLAG="$WORK/hang"
mkdir -p "$BACKING/set" "$MOUNT"
sox -n -r 44100 -c 2 "$BACKING/set/far.wav" synth 30 sine 440
"$HUNG_FS" "$BACKING" "$FLAG" "$MOUNT" >"$WORK/fs.log" 2>&1 & PIDS+=($!)
cleanup_mount() { rm -f "$FLAG"; fusermount3 -u -z "$MOUNT" 2>/dev/null || true; cleanup; }
trap cleanup_mount EXIT
wait_for 10 test -f "$MOUNT/set/far.wav" || fail "the test file system did not mount"
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
wait_for 20 plays "$MOUNT/set/far.wav" || fail "the folder's file does not play once its drive answers"
close_app
grep -qx 'ListCount=1' "$CONF" && grep -qxF "Song0=$MOUNT/set/far.wav" "$CONF" \
  || { cat "$CONF"; fail "the list is not the folder's one file"; }
echo "hung folder test passed"
