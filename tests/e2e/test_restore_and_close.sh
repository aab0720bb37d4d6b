#!/usr/bin/env bash
# A saved playlist of three files, one of them gone, comes back with the two that
# exist; closing through the window manager, and a SIGTERM, both save it again.
source "$(dirname "$0")/lib.sh"
start_x

music="$WORK/my music"
mkdir -p "$music" "$XDG_CONFIG_HOME/Kestrelin"
sox -n -r 44100 -c 2 "$music/first take.wav" synth 30 sine 440
sox -n -r 44100 -c 2 "$music/third's.wav" synth 30 sine 660
conf="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
cat > "$conf" <<CONF
[Thrennic]
ListCount=3
Song0=$music/first take.wav
Song1=$music/gone.wav
Song2=$music/third's.wav
Shuffle=1
Repeat=0
CONF

start_app
import -window "$WINDOW" "${SHOT_DIR:-$WORK}/restored.png"
is_not_blank "${SHOT_DIR:-$WORK}/restored.png" || fail "blank screenshot"
close_app

grep -qx 'ListCount=2' "$conf" || { cat "$conf"; fail "the two existing files were not saved back"; }
grep -qx "Song0=$music/first take.wav" "$conf" || fail "Song0 is wrong"
grep -qx "Song1=$music/third's.wav" "$conf" || fail "Song1 is wrong"
grep -qx 'Shuffle=1' "$conf" || fail "Shuffle was not kept"
grep -qx "Song2=$music/third's.wav" "$conf" || { cat "$conf"; fail "the stale Song2 key should stay"; }

# A termination signal closes the window the same way, and saves.
sed -i 's/^Shuffle=1/Shuffle=0/; s/^ListCount=2/ListCount=1/' "$conf"
start_app
kill -TERM "$APP"
wait_for 20 bash -c "! kill -0 $APP" || fail "SIGTERM did not end the program"
wait "$APP" || fail "the program ended with status $? after SIGTERM"
grep -qx 'ListCount=1' "$conf" || { cat "$conf"; fail "SIGTERM did not save"; }
echo "restore and close test passed"
