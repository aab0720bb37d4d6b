#!/usr/bin/env bash
# CPU while a file plays with its waveform on the screen, once its peaks are
# read: the program on a private X server with a window manager, a 5-minute
# file playing, measured over SECONDS (default 10). Reports the share of one
# core taken by the whole process, by its GUI thread (where the waveform and
# the playhead are painted) and by the waveform's reading thread.
#
#   bench/waveform_cpu.sh [SECONDS] [full]   (full: at full screen; builds what it runs)
#
# Ends with status 1 when the GUI thread takes 2 % of a core or more.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SPAN=${1:-10}
FULL=${2:-}
"$ROOT/scripts/build.sh" thrennic >/dev/null
source "$ROOT/bench/private_x.sh"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

song="$WORK/five minutes.wav"
sox -n -r 44100 -c 2 -b 16 "$song" synth 300 pinknoise tremolo 0.2 80 gain -6
"$ROOT/build/thrennic" "$song" >"$WORK/app.log" 2>&1 & APP=$!
PIDS+=("$APP")
for _ in $(seq 300); do
  xdotool search --onlyvisible --name '^Thrennic$' >/dev/null 2>&1 && break; sleep 0.1
done
window=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
if [[ -n $FULL ]]; then
  sleep 1
  # A double-click on the player's screen (above its waveform) while playing.
  xdotool mousemove --window "$window" 260 30 click --repeat 2 --delay 60 1
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Thrennic Player$' >/dev/null 2>&1 && break; sleep 0.1
  done
  xdotool search --onlyvisible --name '^Thrennic Player$' >/dev/null || { echo "no full screen" >&2; exit 2; }
fi

ticks() { # ticks TASKFILE: user + system clock ticks of a process or thread
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1" 2>/dev/null || echo 0
}
reader() { grep -lx waveform /proc/$APP/task/*/comm 2>/dev/null | head -n 1 | xargs -r dirname; }
# Wait until the reading thread has been idle for a second: the peaks are done.
last=-1
for _ in $(seq 60); do
  sleep 1
  t=$(r=$(reader); [[ -n $r ]] && ticks "$r/stat" || echo -1)
  [[ $t != -1 && $t == "$last" ]] && break
  last=$t
done
r=$(reader)
[[ -n $r ]] || { echo "no waveform thread" >&2; cat "$WORK/app.log" >&2; exit 2; }

p0=$(ticks /proc/$APP/stat); g0=$(ticks /proc/$APP/task/$APP/stat); w0=$(ticks "$r/stat")
sleep "$SPAN"
p1=$(ticks /proc/$APP/stat); g1=$(ticks /proc/$APP/task/$APP/stat); w1=$(ticks "$r/stat")
hz=$(getconf CLK_TCK)
share() { awk -v a="$1" -v b="$2" -v hz="$hz" -v s="$SPAN" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }'; }
echo "over ${SPAN} s of playback${FULL:+ at full screen}, share of one core:"
echo "  whole process   $(share "$p0" "$p1") %  (includes the audio engine's decoding and output)"
echo "  GUI thread      $(share "$g0" "$g1") %  (waveform, playhead, time and slider)"
echo "  waveform reader $(share "$w0" "$w1") %"
awk -v g="$(share "$g0" "$g1")" 'BEGIN { exit !(g < 2.0) }'
