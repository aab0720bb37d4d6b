#!/usr/bin/env bash
# A move to a folder on another drive copies beside the window: at Ctrl+1 the
# next file plays and the window answers while the copy runs; Esc cancels it,
# leaving the file whole where it was and nothing in the folder. Closing during
# a copy asks; "Cancel the copy" ends the program with nothing half moved, and
# "Wait" ends it once the file is moved whole.
source "$(dirname "$0")/lib.sh"
hung_drive top.wav
start_x

saved_playlist one two
KEEP="$MOUNT/Keep"
mkdir -p "$BACKING/Keep"
# 200 MB of silence (a hole on disk), onto a drive that writes 20 MB a second.
/usr/bin/python3 - "$MUSIC/big.wav" <<'PY'
import struct, sys
size = 200 << 20
with open(sys.argv[1], "wb") as out:
    out.write(b"RIFF" + struct.pack("<I", size - 8) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) +
              b"data" + struct.pack("<I", size - 44))
    out.truncate(size)
PY
printf '[Thrennic]\nListCount=3\nSong0=%s\nSong1=%s\nSong2=%s\n[Folders]\n1=%s\n' \
  "$MUSIC/one.wav" "$MUSIC/two.wav" "$MUSIC/big.wav" "$KEEP" >"$CONF"
echo "0 20" >"$FLAG.slow"

holds() { ls -l "/proc/$APP/fd" 2>/dev/null | grep -qF -- "-> $1"; }
copying() { ls -A "$BACKING/Keep" | grep -q '^\.big\.wav\.part-'; }
nothing_in_keep() { [[ -z $(ls -A "$BACKING/Keep") ]]; }
# move_big: big.wav plays, heard, and Ctrl+1 starts its copy.
move_big() {
  wait_for 20 holds "$MUSIC/big.wav" || fail "big.wav does not play"
  xdotool windowactivate --sync "$WINDOW"
  press_until 20 "ls -A '$BACKING/Keep' | grep -q '^\.big\.wav\.part-'" xdotool key ctrl+1 \
    || fail "Ctrl+1 started no copy: $(ls -A "$BACKING/Keep")"
}

start_app
move_big
# The next entry (the first, after the last) plays while the copy runs, and a
# click on entry two plays that: the window answers.
wait_for 10 holds "$MUSIC/one.wav" || fail "the next file did not play at the press"
copying || fail "the copy ended before the next file played"
xdotool mousemove --window "$WINDOW" 620 49 click 1
wait_for 10 holds "$MUSIC/two.wav" || fail "the window did not take a click during the copy"
copying || fail "the copy ended before the window was tried"
import -window root "${SHOT_DIR:-$WORK}/copy-under-way.png"
xdotool key Escape
wait_for 20 nothing_in_keep || fail "Esc left in the folder: $(ls -A "$BACKING/Keep")"
[[ $(stat -c %s "$MUSIC/big.wav") -eq $((200 << 20)) ]] || fail "big.wav changed"
wait_for 10 grep -qx "Song2=$MUSIC/big.wav" "$CONF" || { cat "$CONF"; fail "big.wav is not back in its place"; }

# Closing during a copy asks; the second button cancels it.
"$PROGRAM" "$MUSIC/big.wav"
move_big
wmctrl -i -c "$WINDOW"
wait_dialog
xdotool windowactivate --sync "$DIALOG" key Tab space
wait_for 20 bash -c "! kill -0 $APP" || fail "the program did not end after the copy was cancelled"
nothing_in_keep || fail "a cancelled copy left: $(ls -A "$BACKING/Keep")"
[[ $(stat -c %s "$MUSIC/big.wav") -eq $((200 << 20)) ]] || fail "big.wav changed"

# "Wait": the program ends once the file is moved whole.
start_app
move_big
wmctrl -i -c "$WINDOW"
wait_dialog
xdotool windowactivate --sync "$DIALOG" key Return
kill -0 "$APP" || fail "the program ended before the copy was done"
wait_for 60 bash -c "! kill -0 $APP" || fail "the program did not end once the copy was done"
[[ ! -e $MUSIC/big.wav && $(stat -c %s "$BACKING/Keep/big.wav") -eq $((200 << 20)) ]] \
  || fail "big.wav was not moved whole: $(ls -lA "$MUSIC" "$BACKING/Keep")"
echo "move across drives test passed"
