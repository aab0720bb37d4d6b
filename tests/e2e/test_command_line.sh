#!/usr/bin/env bash
# Files and folders on the command line are added as a drop of them would be,
# a folder as every audio file of its tree in natural order, the last one playing; a second `thrennic FILE` hands its file to the running
# window and ends; a second `thrennic` without files starts a copy of its own.
source "$(dirname "$0")/lib.sh"
start_x

MUSIC="$WORK/music"
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
mkdir -p "$MUSIC/folder/inner/deeper" "$MUSIC/folder/.hidden" "$MUSIC/other"
for name in "first.wav" "folder/b 10.wav" "folder/b 2.wav" "folder/a.flac" "folder/inner/deeper/last.wav" \
  "folder/inner/B 3.wav" "folder/.hidden/no.wav" "other/later.wav"; do
  sox -n -r 44100 -c 2 "$MUSIC/$name" synth 30 sine 440
done
echo "not audio" > "$MUSIC/folder/notes.txt"

cd "$MUSIC"
"$PROGRAM" first.wav folder/ >"$WORK/app.log" 2>&1 & APP=$!
PIDS+=("$APP")
wait_for 30 xdotool search --onlyvisible --name '^Thrennic$' || { cat "$WORK/app.log"; fail "no window"; }
WINDOW=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
wait_for 20 bash -c "wmctrl -l | grep -qi '^$(printf '0x%08x' "$WINDOW")'" || fail "the window manager never managed the window"
# The tree's audio files in natural order, not the folder itself; the last plays.
wait_for 20 plays "$MUSIC/folder/inner/deeper/last.wav" || fail "the last file found does not play"

# A second copy with a file: it hands the file over and ends by itself.
"$PROGRAM" other/later.wav >"$WORK/second.log" 2>&1 & second=$!
PIDS+=("$second")
wait_for 20 bash -c "! kill -0 $second" || fail "the second copy did not end"
wait "$second" || fail "the second copy ended with status $?"
wait_for 20 plays "$MUSIC/other/later.wav" || fail "the handed-over file does not play in the first window"
[[ $(xdotool search --onlyvisible --name '^Thrennic$' | wc -l) -eq 1 ]] || fail "a second window opened"

# A second copy without files is a copy of its own, as before.
"$PROGRAM" >"$WORK/third.log" 2>&1 & third=$!
PIDS+=("$third")
wait_for 30 bash -c "[[ \$(xdotool search --onlyvisible --name '^Thrennic\$' | wc -l) -eq 2 ]]" || fail "a copy without files did not start"
kill -TERM "$third"
wait_for 20 bash -c "! kill -0 $third" || fail "the copy without files did not end"

close_app
expected=("$MUSIC/first.wav" "$MUSIC/folder/a.flac" "$MUSIC/folder/b 2.wav" "$MUSIC/folder/b 10.wav"
  "$MUSIC/folder/inner/B 3.wav" "$MUSIC/folder/inner/deeper/last.wav" "$MUSIC/other/later.wav")
grep -qx "ListCount=${#expected[@]}" "$CONF" || { cat "$CONF"; fail "the list was not saved with every file"; }
for i in "${!expected[@]}"; do
  grep -qxF "Song$i=${expected[$i]}" "$CONF" || { cat "$CONF"; fail "entry $i is not ${expected[$i]}"; }
done
echo "command line test passed"
