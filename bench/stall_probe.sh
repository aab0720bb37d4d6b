#!/usr/bin/env bash
# How long the window stops answering, measured from outside the program (an X
# _NET_WM_PING round trip, which only its GUI thread answers), during a delete
# through the button, its undo (Ctrl+Z), a hand-over of 10,000 files by a later
# copy, and Clear Playlist, with 1,000 and with 100,000 restored entries and the
# real settings file; the idle window's round trip is the baseline. Prints each
# longest stall and the 100,000 / 1,000 ratio.
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

# probe SECONDS ACTION...: the longest round trip while ACTION runs.
probe() {
  local seconds=$1 out="$WORK/probe.out"; shift
  "$PROBE" "$window" "$seconds" >"$out" &
  local prober=$!
  sleep 0.2
  "$@" >/dev/null 2>&1
  wait "$prober"
  sed -n 's/.*longest_ms=\([0-9.]*\).*/\1/p' "$out"
}

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

printf '%-10s %12s %14s %8s\n' action "1,000 (ms)" "100,000 (ms)" ratio
for action in idle delete undo hand-over clear; do
  small=${stall[1000,$action]} large=${stall[100000,$action]}
  printf '%-10s %12s %14s %8s\n' "$action" "$small" "$large" \
    "$(awk -v a="$small" -v b="$large" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')"
done
