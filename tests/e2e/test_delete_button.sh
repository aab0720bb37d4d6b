#!/usr/bin/env bash
# Clicking "Delete Playing File To Recycle Bin" sends the playing file to the
# desktop Trash, with a .trashinfo that remembers where it was; the list and the
# settings file agree afterwards.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three

start_app
# The last restored entry, three.wav, plays; the button sits at (8,432), 256 x 27.
trash="$XDG_DATA_HOME/Trash"
press_until 20 "test -f '$trash/files/three.wav'" xdotool mousemove --window "$WINDOW" 136 445 click 1 \
  || fail "three.wav did not reach the Trash"
grep -qx "Path=$MUSIC/three.wav" "$trash/info/three.wav.trashinfo" || fail "the .trashinfo does not name the original path"
[[ -f "$MUSIC/one.wav" && -f "$MUSIC/two.wav" && ! -e "$MUSIC/three.wav" ]] || fail "the wrong files moved"
wait_for 10 grep -qx 'ListCount=2' "$CONF" || fail "the delete was not saved"

import -window "$WINDOW" "${SHOT_DIR:-$WORK}/after-delete.png"
close_app
grep -qx 'ListCount=2' "$CONF" && grep -qx "Song0=$MUSIC/one.wav" "$CONF" && grep -qx "Song1=$MUSIC/two.wav" "$CONF" \
  || { cat "$CONF"; fail "the settings file does not list the two files left"; }
echo "delete button test passed"
