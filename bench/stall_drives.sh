#!/usr/bin/env bash
# How long the window stops answering (an X _NET_WM_PING round trip, which only
# its GUI thread answers) while files move to other drives and the
# single-instance socket is pushed, with 1,000 and with 100,000 restored
# entries: Ctrl+1 of a 1 GB file to a tmpfs and its undo, Ctrl+2 to a drive that
# writes 40 MB/s (cancelled with Esc), Ctrl+3 to a drive that stops answering,
# 1,100 peers that connect and say nothing, a hand-over of 100,000 names in one
# message (once, last) and one that claims 100 MB. Prints each action's longest
# stall less the machine's own pauses (see stall_probe.cpp), the median over
# the rounds and the worst, then the worst as measured and the machine's
# longest pause in those rounds.
#
#   bench/stall_drives.sh [ROUNDS]    (builds what it runs; needs root: it mounts)
set -euo pipefail
ROUNDS=${1:-3}

ROOT=$(cd "$(dirname "$0")/.." && pwd)
[[ $(id -u) -eq 0 && -e /dev/fuse ]] || { echo "needs root and /dev/fuse to mount its drives" >&2; exit 2; }
"$ROOT/scripts/build.sh" thrennic thrennic_stall_probe hung_fs >/dev/null
BUILD="$ROOT/build"
PROBE="$BUILD/bench/thrennic_stall_probe"
source "$ROOT/bench/private_x.sh"

music="$WORK/music" fast="$WORK/tmpfs" slow="$WORK/slow" dead="$WORK/dead"
mkdir -p "$music" "$fast" "$slow" "$dead" "$WORK/slow.backing" "$WORK/dead.backing"
mount -t tmpfs -o size=2g tmpfs "$fast"
"$BUILD/tests/hung_fs" "$WORK/slow.backing" "$WORK/slow.flag" "$slow" >/dev/null 2>&1 & PIDS+=($!)
"$BUILD/tests/hung_fs" "$WORK/dead.backing" "$WORK/dead.flag" "$dead" >/dev/null 2>&1 & PIDS+=($!)
echo "0 40" >"$WORK/slow.flag.slow" # no wait per call, 40 MB a second
unmount_all() {
  rm -f "$WORK/dead.flag" "$WORK/slow.flag.slow"
  fusermount3 -u -z "$slow" 2>/dev/null || true
  fusermount3 -u -z "$dead" 2>/dev/null || true
  umount -l "$fast" 2>/dev/null || true
  cleanup
}
trap unmount_all EXIT
for _ in $(seq 100); do mountpoint -q "$slow" && mountpoint -q "$dead" && break; sleep 0.1; done

# The list's files, hard links of one short file in groups (a file takes at
# most 65,000 links); the 1 GB file (silence, sparse on disk) is the restored
# list's last entry, which plays at the start.
sox -n -r 8000 -c 1 "$WORK/take.wav" synth 2 sine 440
/usr/bin/python3 - "$WORK/take.wav" "$music" <<'PY'
import os, shutil, sys
take, music = sys.argv[1:]
for i in range(100000):
    if i % 50000 == 0:
        source = f"{music}/.source {i}.wav"
        shutil.copy(take, source)
    os.link(source, f"{music}/take {i}.wav")
PY
/usr/bin/python3 - "$music/big.wav" <<'PY'
import struct, sys
size = 1 << 30  # a WAV header for a gigabyte of silence, which stays a hole on disk
with open(sys.argv[1], "wb") as out:
    out.write(b"RIFF" + struct.pack("<I", size - 8) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) +
              b"data" + struct.pack("<I", size - 44))
    out.truncate(size)
PY

# fail WHAT: says what went wrong, with a picture of the screen beside the build.
fail() {
  import -window root "$BUILD/stall_drives_failure.png" 2>/dev/null || true
  echo "$1 (the screen: $BUILD/stall_drives_failure.png)" >&2
  exit 1
}
wait_until() { # SECONDS CHECK...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do ((SECONDS < deadline)) || return 1; sleep 0.1; done
}
playing_big() { ls -l "/proc/$app/fd" 2>/dev/null | grep -qF "$music/big.wav"; }
# big.wav plays again (handed over) and has been heard long enough to be moved.
big_again() { "$BUILD/thrennic" "$music/big.wav"; wait_until 20 playing_big; sleep 1.5; }

# peers COUNT SECONDS: that many connections to the program's socket that say nothing.
peers() { /usr/bin/python3 "$ROOT/tests/tools/silent_peers.py" "$XDG_RUNTIME_DIR/thrennic-$(id -u).socket" "$@"; }
# send_names COUNT [CLAIM]: one message of COUNT names as a later copy frames
# it; with CLAIM, a frame that says CLAIM bytes and then stops.
send_names() {
  /usr/bin/python3 - "$XDG_RUNTIME_DIR/thrennic-$(id -u).socket" "$music" "$@" <<'PY'
import socket, struct, sys
path, music, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
claim = int(sys.argv[4]) if len(sys.argv) > 4 else None
def qstring(text):
    data = text.encode("utf-16-be")
    return struct.pack(">I", len(data)) + data
body = struct.pack(">I", count) + b"".join(qstring(f"{music}/take {i}.wav") for i in range(count))
body += struct.pack(">I", 0)
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(path)
if claim:
    s.sendall(struct.pack(">I", claim) + body[: min(len(body), claim)])
else:
    s.sendall(struct.pack(">I", len(body)) + body)
s.settimeout(10)
try:
    s.recv(1)
except OSError:
    pass
PY
}

declare -A stall
actions=(idle ctrl+1-tmpfs undo-tmpfs ctrl+3-dead ctrl+2-40MB/s esc-cancel peers-1100 names-100000 claim-100MB)
for entries in 1000 100000; do
  export XDG_CONFIG_HOME="$WORK/$entries/config" XDG_DATA_HOME="$WORK/$entries/data"
  mkdir -p "$XDG_CONFIG_HOME/Kestrelin" "$XDG_DATA_HOME"
  {
    echo '[Thrennic]'
    echo "ListCount=$entries"
    for ((i = 0; i < entries - 1; i++)); do echo "Song$i=$music/take $i.wav"; done
    echo "Song$((entries - 1))=$music/big.wav"
    printf '[Folders]\n1=%s\n2=%s\n3=%s\n' "$fast" "$slow" "$dead"
  } >"$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
  "$BUILD/thrennic" >/dev/null 2>&1 & app=$!
  PIDS+=("$app")
  wait_until 60 xdotool search --onlyvisible --name '^Thrennic$'
  window=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
  xdotool windowactivate --sync "$window"
  wait_until 60 playing_big || fail "big.wav did not play at the start"
  sleep 2 # heard, and the engine and the first waveform settle
  for ((round = 1; round <= ROUNDS; round++)); do
    ((round == 1)) || big_again
    stall[$entries,idle]+=" $(probe 1 true)"
    stall[$entries,ctrl+1-tmpfs]+=" $(probe 6 xdotool key ctrl+1)"
    wait_until 60 test -f "$fast/big.wav" -a ! -e "$music/big.wav" || fail "Ctrl+1 moved nothing"
    stall[$entries,undo-tmpfs]+=" $(probe 6 xdotool key ctrl+z)"
    wait_until 60 test -f "$music/big.wav" -a ! -e "$fast/big.wav" || fail "Ctrl+Z brought nothing back"
    big_again
    touch "$WORK/dead.flag"
    stall[$entries,ctrl+3-dead]+=" $(probe 6 xdotool key ctrl+3)"
    # Esc gives up the copy; it ends once the drive answers again.
    xdotool key Escape
    rm -f "$WORK/dead.flag"
    wait_until 60 bash -c "! ls -A '$WORK/dead.backing' | grep -q ." || fail "the move to the dead drive went on"
    big_again
    stall[$entries,ctrl+2-40MB/s]+=" $(probe 8 xdotool key ctrl+2)"
    stall[$entries,esc-cancel]+=" $(probe 3 xdotool key Escape)"
    wait_until 60 bash -c "! ls -A '$WORK/slow.backing' | grep -q ." || fail "Esc did not cancel the slow copy"
    stall[$entries,peers-1100]+=" $(probe 5 peers 1100 3)"
    # Last: the list grows by the names handed over.
    ((round < ROUNDS)) || stall[$entries,names-100000]+=" $(probe 6 send_names 100000)"
    stall[$entries,claim-100MB]+=" $(probe 4 send_names 1000 $((100 << 20)))"
  done
  kill -TERM "$app"
  wait "$app" || true
done

# From the rounds' "OWN LONGEST MACHINE" triples: the median own stall and
# the worst (in parentheses), the worst as measured, the machine's longest pause.
summary() {
  tr ' ' '\n' <<<"$1" | sed '/^$/d' | paste - - - | sort -g | awk '
    { own[NR] = $1; if ($2 > raw) raw = $2; if ($3 > machine) machine = $3 }
    END { printf "%s (%s) %s %s", own[int((NR + 1) / 2)], own[NR], raw, machine }'
}
echo "longest stall in ms less the machine's pauses: median of $ROUNDS rounds (worst);"
echo "then the worst as measured / the machine's longest pause"
printf '%-16s %26s %26s\n' action "1,000 entries" "100,000 entries"
for action in "${actions[@]}"; do
  read -r small_median small_worst small_raw small_machine <<<"$(summary "${stall[1000,$action]}")"
  read -r large_median large_worst large_raw large_machine <<<"$(summary "${stall[100000,$action]}")"
  printf '%-16s %26s %26s\n' "$action" "$small_median $small_worst $small_raw/$small_machine" \
    "$large_median $large_worst $large_raw/$large_machine"
done
