#!/usr/bin/env bash
# Media keys held down, or a script gone wild: CALLS MPRIS Next calls sent in a
# burst without waiting for replies, to the real program (the sanitizer build
# when given) with a list of short files. It must still be alive afterwards,
# with no sanitizer report, and play.
#
#   bench/mpris_burst.sh PROGRAM [CALLS]
if [[ -z ${THRENNIC_TEST_BUS:-} ]]; then
  THRENNIC_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
CALLS=${2:-1000}
source "$(dirname "$0")/../tests/e2e/lib.sh" "$1"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
MUSIC="$WORK/music" CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
mkdir -p "$MUSIC" "$(dirname "$CONF")"
{
  echo '[Thrennic]'
  echo 'ListCount=30'
  for ((i = 0; i < 30; i++)); do
    sox -n -r 22050 -c 1 "$MUSIC/take-$i.wav" synth 3 sine $((200 + i * 9))
    echo "Song$i=$MUSIC/take-$i.wav"
  done
} >"$CONF"
start_x
start_app
wait_for 30 bash -c "ls -l /proc/$APP/fd 2>/dev/null | grep -qF '$MUSIC/'" || fail "nothing played"
wait_for 20 gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 \
  --method org.freedesktop.DBus.Peer.Ping || fail "the player never came on the bus"
started=$SECONDS
for ((i = 0; i < CALLS; i++)); do
  dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.thrennic \
    /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.Next
done
echo "mpris burst: $CALLS calls sent in $((SECONDS - started)) s"
report() { grep -qE 'ERROR: AddressSanitizer|runtime error:|ThreadSanitizer|malloc\(\)|corrupted' "$WORK/app.log"; }
# Alive and playing once the calls are taken.
wait_for 60 bash -c "[[ \$(gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 \
  --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player PlaybackStatus 2>/dev/null) == *Playing* ]]" \
  || { tail -n 40 "$WORK/app.log"; fail "not playing after the burst"; }
kill -0 "$APP" 2>/dev/null || { tail -n 40 "$WORK/app.log"; fail "the program is gone"; }
! report || { tail -n 60 "$WORK/app.log"; fail "a sanitizer or allocator report"; }
close_app
echo "mpris burst: passed, $CALLS calls, the program alive and playing"
