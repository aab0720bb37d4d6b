#!/usr/bin/env bash
# "Load Sample/Example Files" asks whether to open the samples folder; answered
# No from the keyboard, it adds every sample all the same, and closing saves them.
source "$(dirname "$0")/lib.sh"
start_x
program_dir=$(cd "$(dirname "$PROGRAM")" && pwd)
[[ -d "$program_dir/Samples" ]] || fail "no Samples folder beside the program"

start_app
xdotool windowactivate --sync "$WINDOW"
# The button sits at (272,466), 256 x 27.
xdotool mousemove --window "$WINDOW" 400 479 click 1
wait_dialog
question=$DIALOG
import -window root "${SHOT_DIR:-$WORK}/samples-question.png"
xdotool windowactivate --sync "$question" key alt+n
wait_for 20 bash -c "! xdotool search --onlyvisible --name '^Thrennic\$' | grep -qvx $WINDOW" || fail "the question stayed open"
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/samples-added.png"

conf="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
count=$(find "$program_dir/Samples" -maxdepth 1 -type f | wc -l)
wait_for 10 grep -qx "ListCount=$count" "$conf" || { cat "$conf" 2>/dev/null; fail "the samples were not saved"; }
close_app
for sample in "$program_dir"/Samples/*; do
  grep -qF "=$sample" "$conf" || fail "$sample is not in the settings file"
done
echo "samples test passed ($count samples)"
