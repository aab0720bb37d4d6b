#!/usr/bin/env bash
# The desktop's player controls reach the program over MPRIS 2 on a session bus
# of the test's own: status, metadata, volume and position read; play, pause,
# next, previous, stop and quit (which saves) carried out.
if [[ -z ${THRENNIC_TEST_BUS:-} ]]; then
  THRENNIC_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
start_x
saved_playlist one two three
start_app

mpris() {
  gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 "$@"
}
get() { mpris --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player "$1"; }
status_is() { [[ $(get PlaybackStatus) == *"'$1'"* ]]; }
call() { mpris --method "org.mpris.MediaPlayer2.Player.$1" "${@:2}" >/dev/null; }

wait_for 20 status_is Playing || fail "no Playing status over MPRIS: $(get PlaybackStatus 2>&1)"
get Metadata | grep -qF "'file://$MUSIC/three.wav'" || fail "the metadata does not name three.wav: $(get Metadata)"
get Metadata | grep -qF "'three.wav'" || fail "no title in the metadata"
wait_for 20 bash -c "gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player Metadata | grep -q 'mpris:length'" || fail "no length in the metadata"
[[ $(mpris --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2 Identity) == *"'Thrennic'"* ]] || fail "wrong identity"

call Pause
wait_for 20 status_is Paused || fail "Pause did not pause"
call PlayPause
wait_for 20 status_is Playing || fail "PlayPause did not play"
call Previous
wait_for 20 plays "$MUSIC/two.wav" || fail "Previous did not play the entry above"
call Next
wait_for 20 plays "$MUSIC/three.wav" || fail "Next did not play the entry below"
mpris --method org.freedesktop.DBus.Properties.Set org.mpris.MediaPlayer2.Player Volume '<0.25>' >/dev/null
[[ $(get Volume) == *"<0.25>"* ]] || fail "the volume is $(get Volume)"
wait_for 20 bash -c "gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player Position | grep -qv '<int64 0>'" || fail "the position does not move"
call Stop
wait_for 20 status_is Stopped || fail "Stop did not stop"
mpris --method org.mpris.MediaPlayer2.Raise >/dev/null || fail "Raise failed"

mpris --method org.mpris.MediaPlayer2.Quit >/dev/null
wait_for 20 bash -c "! kill -0 $APP" || fail "Quit did not end the program"
wait "$APP" || fail "the program ended with status $?"
grep -qx 'ListCount=3' "$CONF" || { cat "$CONF"; fail "Quit did not save"; }
echo "mpris test passed"
