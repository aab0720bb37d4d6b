#!/usr/bin/env bash
# Delete pressed again and again at a person's pace on a long list, at full
# screen: every press must take one file (or say why on the player's screen;
# a grab of the screen is kept of each press that took none).
#
#   bench/press_run.sh PROGRAM [PRESSES] [ENTRIES] [GAP_SECONDS] [SHOTS_DIR]
#
# Entries are hard links of one 30-second WAV, so a list of 10,000 costs one
# file's room. Prints how many presses took a file and how many did not.
PRESSES=${2:-300}
ENTRIES=${3:-10000}
GAP=${4:-1.6}
SHOTS=${5:-}
source "$(dirname "$0")/../tests/e2e/lib.sh" "$1"

MUSIC="$WORK/music"
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
mkdir -p "$MUSIC" "$(dirname "$CONF")"
sox -n -r 22050 -c 1 "$WORK/one.wav" synth 30 sine 330
{
  echo '[Thrennic]'
  echo "ListCount=$ENTRIES"
  for ((i = 0; i < ENTRIES; i++)); do
    printf -v name 'entry-%05d.wav' "$i"
    ln "$WORK/one.wav" "$MUSIC/$name"
    echo "Song$i=$MUSIC/$name"
  done
} > "$CONF"

start_x
start_app
wait_for 60 bash -c "ls -l /proc/$APP/fd 2>/dev/null | grep -qF '$MUSIC/'" || fail "nothing played"
xdotool windowactivate --sync "$WINDOW"
xdotool key alt+Return
sleep 1

trashed_count() { { ls "$XDG_DATA_HOME/Trash/files" 2>/dev/null || true; } | wc -l; }
took=0 missed=0 missed_run=0 longest_run=0
for ((press = 1; press <= PRESSES; press++)); do
  before=$(trashed_count)
  xdotool key Delete
  sleep "$GAP"
  kill -0 "$APP" 2>/dev/null || fail "the program is gone at press $press"
  if (( $(trashed_count) > before )); then
    took=$((took + 1)) missed_run=0
  else
    missed=$((missed + 1)) missed_run=$((missed_run + 1))
    (( missed_run > longest_run )) && longest_run=$missed_run
    [[ -n $SHOTS ]] && import -window root "$SHOTS/missed-$press.png"
  fi
done
echo "press run: $PRESSES presses at $ENTRIES entries, $GAP s apart: $took took a file, $missed did not (at most $longest_run in a row)"
