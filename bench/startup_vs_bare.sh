#!/usr/bin/env bash
# Whole-process start-up: process start -> window mapped, for the program with
# an empty settings file and with a restored list of 10,000 files, each against
# a bare Qt window of the same size started the same way, in pairs, on a
# private X server with a window manager and a session bus. Also reports when
# the program opened the file it plays first (its playback is starting) and
# its resident size.
#
#   bench/startup_vs_bare.sh [PAIRS] [ENTRIES]    (default 5 and 10,000; builds what it runs)
#
# Ends with status 1 when a median ratio is over its bound: 1.5 with an empty
# list, 2.0 with 10,000 files, 3.0 with 100,000; or when the last file was not
# opened for playback in some run.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
PAIRS=${1:-5}
ENTRIES=${2:-10000}
BOUND=$( ((ENTRIES >= 100000)) && echo 3.0 || echo 2.0)
"$ROOT/scripts/build.sh" thrennic thrennic_bare_window thrennic_map_timer >/dev/null
BUILD="$ROOT/build"
TIMER="$BUILD/bench/thrennic_map_timer"
# The programs' own chatter (no sound card here, say) is not part of the report.
timer() { "$TIMER" "$@" 2>/dev/null; }

source "$ROOT/bench/private_x.sh"

# Two homes: one with no settings, one whose settings list $ENTRIES files.
empty_home() {
  export XDG_CONFIG_HOME="$WORK/empty/config" XDG_DATA_HOME="$WORK/empty/data"
  rm -rf "$WORK/empty"; mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
}
music="$WORK/music"
mkdir -p "$music"
if ((ENTRIES <= 60000)); then
  sox -n -r 44100 -c 2 "$music/take.wav" synth 30 sine 440
  for i in $(seq 0 $((ENTRIES - 1))); do ln "$music/take.wav" "$music/take $i.wav"; done
else
  # A file takes at most 65,000 links: short copies instead.
  sox -n -r 8000 -c 1 "$music/take.wav" synth 5 sine 440
  copies "$music/take.wav" "$music/take %d.wav" "$ENTRIES"
fi
full_home() { saved_home "$WORK/full" "$ENTRIES"; }
full_home

field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A runs
for pair in $(seq "$PAIRS"); do
  empty_home
  runs[bare]+="$(timer -- "$BUILD/bench/thrennic_bare_window" | field mapped_ms) "
  runs[empty]+="$(timer -- "$BUILD/thrennic" | field mapped_ms) "
  full_home
  out=$(timer --file "$music/take $((ENTRIES - 1)).wav" -- "$BUILD/thrennic")
  runs[full]+="$(field mapped_ms <<<"$out") "
  runs[audio]+="$(field opened_ms <<<"$out") "
  runs[rss]+="$(field rss_kb <<<"$out") "
  runs[bare2]+="$(timer -- "$BUILD/bench/thrennic_bare_window" | field mapped_ms) "
done

m() { tr ' ' '\n' <<<"${runs[$1]}" | grep . | median; }
bare=$(m bare) bare2=$(m bare2) empty=$(m empty) full=$(m full)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "medians of $PAIRS runs, process start -> window mapped (ms):"
echo "  bare Qt window: $bare (again after the full run: $bare2)"
echo "  empty list:     $empty  ratio $(ratio "$empty" "$bare")"
echo "  $ENTRIES files:  $full  ratio $(ratio "$full" "$bare2")"
echo "  $ENTRIES files, process start -> the last file opened for playback: $(m audio) ms"
echo "  $ENTRIES files, resident size then: $(m rss) kB"
# A restore that took the list's own folder for a drive that stopped answering plays nothing.
[[ " ${runs[audio]}" != *" -"* ]] || { echo "the last file was not opened in every run: ${runs[audio]}" >&2; exit 1; }
awk -v e="$(ratio "$empty" "$bare")" -v f="$(ratio "$full" "$bare2")" -v bound="$BOUND" \
  'BEGIN { exit !(e < 1.5 && f < bound) }' || { echo "a ratio is over its bound" >&2; exit 1; }
