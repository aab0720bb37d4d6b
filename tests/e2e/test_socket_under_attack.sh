#!/usr/bin/env bash
# The single-instance socket holds against local peers that misbehave: 1,100
# connections that never say anything (more than a process's 1,024
# descriptors) leave the program idle, not spinning, and a real hand-over still
# reaches it instead of starting a second copy; a short message that claims two
# thousand million names is dropped and the program goes on.
source "$(dirname "$0")/lib.sh"
start_x
saved_playlist one two three
start_app
wait_for 20 plays "$MUSIC/three.wav" || fail "the restored last entry did not play"
SOCKET="$XDG_RUNTIME_DIR/thrennic-$(id -u).socket"

# The program's processor time, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$APP/stat"; }

/usr/bin/python3 "$(dirname "$0")/../tools/silent_peers.py" "$SOCKET" 1100 60 "$WORK/peers.ready" &
PEERS=$!
PIDS+=("$PEERS")
wait_for 30 test -f "$WORK/peers.ready" || fail "the peers did not connect"

before=$(cpu_ticks)
sleep 2 # a span of time to measure the processor time over, not a wait for an event
used=$(($(cpu_ticks) - before))
ticks=$(getconf CLK_TCK)
((used * 100 < ticks * 2 * 40)) || fail "the program used $((used * 100 / ticks / 2)) % of a core with the peers connected"

# A second copy would stay, with a window of its own, until the timeout.
timeout 20 "$PROGRAM" "$MUSIC/one.wav" || fail "the hand-over did not end in time (status $?)"
wait_for 20 plays "$MUSIC/one.wav" || fail "the handed-over file does not play"
[[ $(xdotool search --onlyvisible --name '^Thrennic$' | wc -l) -eq 1 ]] || fail "a second copy started"

# Length, then a list that claims 2^31 - 1 names, and nothing more.
/usr/bin/python3 - "$SOCKET" <<'PY'
import socket, struct, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(sys.argv[1])
body = struct.pack(">I", 2**31 - 1) + b"\0" * 16
s.sendall(struct.pack(">I", len(body)) + body)
s.settimeout(10)
try:
    s.recv(1)
except OSError:
    pass
PY
kill "$PEERS"
kill -0 "$APP" || fail "the program ended on the claim: $(tail -5 "$WORK/app.log")"
timeout 20 "$PROGRAM" "$MUSIC/two.wav" || fail "the hand-over after the claim did not end in time"
wait_for 20 plays "$MUSIC/two.wav" || fail "the file handed over after the claim does not play"
close_app
echo "socket under attack test passed"
