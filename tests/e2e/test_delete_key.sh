#!/usr/bin/env bash
# With the player focused, the Delete key sends the playing file to the Trash and
# the next one plays in full screen; Escape leaves full screen; Ctrl+H then
# closing stores Shuffle "1".
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three

start_app
# The last restored entry, three.wav, plays; a click on the player's screen gives it the focus.
xdotool windowactivate --sync "$WINDOW"
# The X server hands our client the click before the key, and Qt takes them in that order.
xdotool mousemove --window "$WINDOW" 260 150 click 1
trash="$XDG_DATA_HOME/Trash/files"
press_until 20 "test -f '$trash/three.wav'" xdotool key Delete || {
  import -window root "${SHOT_DIR:-$WORK}/no-delete.png"
  echo "focus: $(xdotool getwindowfocus getwindowname 2>&1)"; grep -v '^ALSA' "$WORK/app.log"
  fail "three.wav did not reach the Trash"
}
wait_for 20 xdotool search --onlyvisible --name '^Thrennic Player$' || fail "the player did not go full screen"
player=$(xdotool search --onlyvisible --name '^Thrennic Player$' | head -n 1)
import -window root "${SHOT_DIR:-$WORK}/full-screen.png"
size=$(xwininfo -id "$player" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[[ $size == "1280x800" ]] || fail "the full-screen player is $size"
[[ $(ls "$trash" | wc -l) -eq 1 ]] || fail "more than one file went: $(ls "$trash")"
grep -qx 'ListCount=2' "$CONF" || fail "the poll's delete did not save"

# The key goes to the window that has the keyboard: the full-screen player, once it is active.
wait_for 10 bash -c "[[ \$(xdotool getactivewindow) == $player ]]" || fail "the full-screen player never became the active window"
xdotool key Escape
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Thrennic Player$'" || fail "Escape did not leave full screen"
# The keyboard comes back to the window once the window manager has moved the
# focus off the closed full-screen player; a key before that goes nowhere.
wait_for 10 bash -c "[[ \$(xdotool getactivewindow) == $WINDOW ]]" || fail "the window did not get the keyboard back after full screen"
# The key reaches the program before the window manager's close request does.
xdotool key ctrl+h
close_app
grep -qx 'Shuffle=1' "$CONF" || { cat "$CONF"; fail "Ctrl+H was not stored"; }
echo "delete key test passed"
