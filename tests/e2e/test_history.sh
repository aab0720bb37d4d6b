#!/usr/bin/env bash
# The history across sittings on the real program: a file sent to the Trash in
# one sitting comes back with Ctrl+Z in the next, and the command line lists
# and forgets the decisions.
source "$(dirname "$0")/lib.sh"
start_x

saved_playlist one two three
HISTORY="$XDG_DATA_HOME/Thrennic/history.sqlite"

start_app
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry did not play"
xdotool windowactivate --sync "$WINDOW"
xdotool mousemove --window "$WINDOW" 620 49 click 1
wait_for 20 plays "$MUSIC/two.wav" || fail "a click on entry two did not play it"
xdotool key Delete
wait_for 20 test -f "$XDG_DATA_HOME/Trash/files/two.wav" || fail "two.wav did not reach the Trash"
xdotool key Escape # leave the full screen the press switched to
close_app

[[ $(stat -c %a "$HISTORY") == 600 ]] || fail "the history is readable by others"
listing=$("$PROGRAM" --history)
[[ $(wc -l <<<"$listing") == 1 ]] || fail "--history listed: $listing"
IFS=$'\t' read -r when action from to <<<"$listing"
[[ $action == trash && $from == "$MUSIC/two.wav" && $to == "$XDG_DATA_HOME/Trash/files/two.wav" ]] ||
  fail "--history listed: $listing"
date -d "$when" >/dev/null || fail "not a time: $when"

# The next sitting: Ctrl+Z takes back the Trash of the one before.
start_app
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry did not play"
xdotool windowactivate --sync "$WINDOW"
press_until 20 "test -f '$MUSIC/two.wav'" xdotool key ctrl+z || fail "Ctrl+Z after a restart did not bring two.wav back"
[[ -z $(trashed) ]] || fail "the Trash still holds: $(trashed)"
wait_for 20 plays "$MUSIC/two.wav" || fail "the restored file does not play"
wait_for 20 grep -qx "Song1=$MUSIC/two.wav" "$CONF" || { cat "$CONF"; fail "two.wav is not back in second place"; }
import -window root "${SHOT_DIR:-$WORK}/history-after-restart.png"
no_dialog || fail "a box appeared"
close_app
[[ $("$PROGRAM" --history | cut -f2 | tr '\n' ' ') == "undo trash " ]] || fail "the undo was not recorded"

"$PROGRAM" --forget-history <<<"n" >/dev/null && fail "--forget-history removed without a yes"
[[ -f $HISTORY ]] || fail "the history went without a yes"
"$PROGRAM" --forget-history --yes >/dev/null || fail "--forget-history --yes failed"
[[ ! -e $HISTORY && -z $("$PROGRAM" --history) ]] || fail "the history is still there"
echo "history test passed"
