#!/usr/bin/env bash
# How long the window stops answering, measured from outside the program (an X
# _NET_WM_PING round trip, which only its GUI thread answers), during a delete
# through the button, its undo (Ctrl+Z), a hand-over of 10,000 files by a later
# copy, and Clear Playlist, with 1,000 and with 100,000 restored entries and the
# real settings file; the idle window's round trip is the baseline. Prints each
# longest stall, less the machine's own pauses (see stall_probe.cpp), and the
# 100,000 / 1,000 ratio.
#
#   bench/stall_probe.sh    (builds what it runs)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/build.sh" thrennic thrennic_stall_probe >/dev/null
BUILD="$ROOT/build"
PROBE="$BUILD/bench/thrennic_stall_probe"
source "$ROOT/bench/private_x.sh"

music="$WORK/music"
handed="$WORK/handed"
mkdir -p "$music" "$handed"
# Short files, copied (a file takes at most 65,000 links): 110,000 of them,
# long enough to play through each action.
sox -n -r 8000 -c 1 "$music/take.wav" synth 2 sine 440
copies "$music/take.wav" "$music/take %d.wav" 100000
copies "$music/take.wav" "$handed/new %d.wav" 10000

declare -A stall
for entries in 1000 100000; do
  saved_home "$WORK/$entries" "$entries"
  "$BUILD/thrennic" >/dev/null 2>&1 & app=$!
  PIDS+=("$app")
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Thrennic$' 2>/dev/null | head -n 1) && [[ -n $window ]] && break
    sleep 0.05
  done
  sleep 2 # the engine and the first waveform settle
  stall[$entries,idle]=$(probe 1 true)
  # Entry 1 clicked (chosen, so Delete takes it at once), then the delete button.
  choose() { xdotool mousemove --window "$window" 600 35 click 1; sleep 0.3; "$@"; }
  stall[$entries,delete]=$(probe 2 choose xdotool mousemove --window "$window" 136 445 click 1)
  stall[$entries,undo]=$(probe 2 xdotool key ctrl+z)
  stall[$entries,hand-over]=$(probe 4 "$BUILD/thrennic" "$handed")
  stall[$entries,clear]=$(probe 2 xdotool mousemove --window "$window" 664 445 click 1)
  kill -TERM "$app"
  wait "$app" || true
done

# Each stall less the machine's own pauses, as measured in parentheses, the
# ratio of the two lists' own stalls, and the machine's longest pause.
printf '%-10s %16s %16s %8s %10s\n' action "1,000 (ms)" "100,000 (ms)" ratio machine
for action in idle delete undo hand-over clear; do
  read -r small small_raw small_machine <<<"${stall[1000,$action]}"
  read -r large large_raw large_machine <<<"${stall[100000,$action]}"
  printf '%-10s %16s %16s %8s %10s\n' "$action" "$small ($small_raw)" "$large ($large_raw)" \
    "$(awk -v a="$small" -v b="$large" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')" \
    "$(awk -v a="$small_machine" -v b="$large_machine" 'BEGIN { print (a > b ? a : b) }')"
done
