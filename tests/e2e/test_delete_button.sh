#!/usr/bin/env bash
# Clicking "Delete Playing File To Recycle Bin" sends the playing file to the
# desktop Trash, with a .trashinfo that remembers where it was; the list and the
# settings file agree afterwards.
source "$(dirname "$0")/lib.sh"
start_x

music="$WORK/music"
mkdir -p "$music" "$XDG_CONFIG_HOME/Kestrelin"
for name in one two three; do sox -n -r 44100 -c 2 "$music/$name.wav" synth 30 sine 440; done
conf="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
printf '[Thrennic]\nListCount=3\nSong0=%s\nSong1=%s\nSong2=%s\n' \
  "$music/one.wav" "$music/two.wav" "$music/three.wav" > "$conf"

start_app
# The last restored entry, three.wav, plays; the button sits at (8,432), 256 x 27.
xdotool mousemove --window "$WINDOW" 136 445 click 1
trash="$XDG_DATA_HOME/Trash"
wait_for 20 test -f "$trash/files/three.wav" || fail "three.wav did not reach the Trash"
grep -qx "Path=$music/three.wav" "$trash/info/three.wav.trashinfo" || fail "the .trashinfo does not name the original path"
[[ -f "$music/one.wav" && -f "$music/two.wav" && ! -e "$music/three.wav" ]] || fail "the wrong files moved"
wait_for 10 grep -qx 'ListCount=2' "$conf" || fail "the delete was not saved"

import -window "$WINDOW" "${SHOT_DIR:-$WORK}/after-delete.png"
close_app
grep -qx 'ListCount=2' "$conf" && grep -qx "Song0=$music/one.wav" "$conf" && grep -qx "Song1=$music/two.wav" "$conf" \
  || { cat "$conf"; fail "the settings file does not list the two files left"; }
echo "delete button test passed"
