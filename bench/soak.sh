#!/usr/bin/env bash
# A long sitting, compressed: the real program under Xvfb with a home of its
# own, a list of short files and two folders bound to Ctrl+1 and Ctrl+2, and a
# random mix of what a person and a desktop do to it (Delete, the delete
# button, a double-click, Ctrl+1/2, Ctrl+Z, held keys, Play Next/Previous,
# MPRIS Next/Previous/OpenUri and bursts of them, a hand-over from a second
# copy, a file rewritten on disk). After every action: the program is alive,
# and every file is in exactly one place (its folder, a bound folder, or the
# Trash with its info file), none twice, none lost.
#
#   bench/soak.sh PROGRAM [ACTIONS] [SEED]
#
# The seed is printed; the same seed gives the same actions (their timing is
# the machine's). Give the sanitizer build as PROGRAM to run it under ASan.
if [[ -z ${THRENNIC_TEST_BUS:-} ]]; then
  THRENNIC_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
ACTIONS=${2:-150}
SEED=${3:-$(( $(date +%s) % 100000 ))}
source "$(dirname "$0")/../tests/e2e/lib.sh" "$1"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
RANDOM=$SEED
echo "soak: $ACTIONS actions, seed $SEED"

MUSIC="$WORK/music" INCOMING="$WORK/incoming" KEEP="$WORK/sorted/Keep" MAYBE="$WORK/sorted/Maybe"
CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
TRASH="$XDG_DATA_HOME/Trash"
mkdir -p "$MUSIC" "$INCOMING" "$KEEP" "$MAYBE" "$(dirname "$CONF")"
FILES=$(( ACTIONS / 3 > 30 ? ACTIONS / 3 : 30 ))
NAMES=()
tone() { sox -n -r 22050 -c 1 "$1" synth "$2" sine "$3"; }
{
  echo '[Thrennic]'
  echo "ListCount=$FILES"
  for ((i = 0; i < FILES; i++)); do
    name=$(printf 'take-%03d.wav' "$i")
    NAMES+=("$name")
    tone "$MUSIC/$name" 3 $((200 + i * 7))
    echo "Song$i=$MUSIC/$name"
  done
  printf '\n[Folders]\n1=%s\n2=%s\n' "$KEEP" "$MAYBE"
} > "$CONF"
# Files that come in later, through OpenUri or a hand-over.
for ((i = 0; i < 20; i++)); do
  name=$(printf 'later-%02d.wav' "$i")
  NAMES+=("$name")
  tone "$INCOMING/$name" 2 $((300 + i * 11))
done

start_x
start_app
wait_for 30 bash -c "ls /proc/$APP/fd -l 2>/dev/null | grep -qF '$MUSIC/'" || fail "nothing played"
xdotool windowactivate --sync "$WINDOW" 2>/dev/null || true

mpris() {
  gdbus call --session --dest org.mpris.MediaPlayer2.thrennic --object-path /org/mpris/MediaPlayer2 \
    --method "org.mpris.MediaPlayer2.Player.$1" "${@:2}" >/dev/null 2>&1 || true
}
# Calls that expect no answer, as media keys send them.
mpris_burst() {
  local i
  for ((i = 0; i < $2; i++)); do
    dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.thrennic \
      /org/mpris/MediaPlayer2 "org.mpris.MediaPlayer2.Player.$1"
  done
}
focus() { timeout 5 xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1 || true; }

# A box of the program's: a window of its own other than the main one and
# the full-screen player.
a_box() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null | grep -vx "$WINDOW"); do
    [[ $(xdotool getwindowname "$id" 2>/dev/null) == "Thrennic Player" ]] || { echo "$id"; return; }
  done
}

STEP=0
declare -A DONE
broken() {
  echo "soak: FAILED at step $STEP of $ACTIONS (seed $SEED): $*" >&2
  echo "--- program output" >&2; tail -n 40 "$WORK/app.log" >&2
  exit 1
}
# Every file in exactly one place; the Trash's with their info files.
check_files() {
  kill -0 "$APP" 2>/dev/null || broken "the program is gone"
  if grep -qE 'ERROR: AddressSanitizer|runtime error:|ThreadSanitizer' "$WORK/app.log"; then
    broken "a sanitizer report"
  fi
  local listing name count box
  # A box may come (a move refused, say) and a person answers it; a report of
  # the error trap means a step failed that never should.
  while box=$(a_box) && [[ -n $box ]]; do
    if [[ $(xdotool getwindowname "$box" 2>/dev/null) == "Application Error" ]]; then
      import -window root "${SHOT_DIR:-/tmp}/soak-error.png" 2>/dev/null || true
      broken "an error box: see ${SHOT_DIR:-/tmp}/soak-error.png"
    fi
    DONE[box]=$(( ${DONE[box]:-0} + 1 ))
    timeout 5 xdotool windowactivate --sync "$box" key Return >/dev/null 2>&1 || true
    sleep 0.2
  done
  listing=$(ls "$MUSIC" "$INCOMING" "$KEEP" "$MAYBE" "$TRASH/files" 2>/dev/null | grep -v ':$' | grep . || true)
  for name in $(ls "$TRASH/files" 2>/dev/null); do
    [[ -f "$TRASH/info/$name.trashinfo" ]] || broken "$name is in the Trash without its info file"
  done
  for name in "${NAMES[@]}"; do
    count=$(grep -cxF "$name" <<<"$listing" || true)
    [[ $count == 1 ]] || broken "$name is in $count places"
  done
}

act() {
  local pick=$((RANDOM % 100)) what
  case $pick in
    [0-9] | 1[0-9] | 2[0-4]) what=delete; focus; xdotool key Delete ;;
    2[5-9] | 3[0-4]) what=ctrl1; focus; xdotool key ctrl+1 ;;
    3[5-9]) what=ctrl2; focus; xdotool key ctrl+2 ;;
    4[0-9]) what=undo; focus; xdotool key ctrl+z ;;
    5[0-4]) what=button; focus; xdotool mousemove --window "$WINDOW" 100 445 click 1 ;;
    5[5-7]) what=double-click; focus; xdotool mousemove --window "$WINDOW" 620 30 click --repeat 2 1 ;;
    5[8-9]) what=held-delete; focus; xdotool keydown Delete; sleep 2; xdotool keyup Delete ;;
    6[0-2]) what=held-ctrl1; focus; xdotool keydown ctrl+1; sleep 2; xdotool keyup ctrl+1 ;;
    6[3-9]) what=next; mpris Next ;;
    7[0-4]) what=previous; mpris Previous ;;
    7[5-7]) what=next-burst; mpris_burst Next 200 ;;
    7[8-9]) what=previous-burst; mpris_burst Previous 50 ;;
    8[0-4]) what=open-uri; mpris OpenUri "file://$INCOMING/$(printf 'later-%02d.wav' $((RANDOM % 20)))" ;;
    8[5-9]) what=hand-over
      "$PROGRAM" "$INCOMING/$(printf 'later-%02d.wav' $((RANDOM % 20)))" >>"$WORK/second.log" 2>&1 || true ;;
    9[0-4]) what=rewritten
      local name=${NAMES[$((RANDOM % FILES))]}
      [[ -f "$MUSIC/$name" ]] && tone "$MUSIC/$name" 3 1000 ;;
    *) what=listen ;;
  esac
  DONE[$what]=$(( ${DONE[$what]:-0} + 1 ))
  # A person listens a moment between presses: 0.1 to 1.9 s.
  sleep "0.$((RANDOM % 10))$((RANDOM % 10))"
  (( RANDOM % 2 )) && sleep 1
  return 0
}

for ((STEP = 1; STEP <= ACTIONS; STEP++)); do
  act
  check_files
done
# The program still answers and plays after it all.
mpris Next
wait_for 20 bash -c "ls -l /proc/$APP/fd 2>/dev/null | grep -qE '$MUSIC/|$INCOMING/'" \
  || [[ -z $(ls "$MUSIC" "$INCOMING" 2>/dev/null) ]] || broken "nothing plays after the soak"
check_files
close_app
check_files_after_close() {
  local listing name count
  listing=$(ls "$MUSIC" "$INCOMING" "$KEEP" "$MAYBE" "$TRASH/files" 2>/dev/null | grep -v ':$' | grep . || true)
  for name in "${NAMES[@]}"; do
    count=$(grep -cxF "$name" <<<"$listing" || true)
    [[ $count == 1 ]] || broken "after closing, $name is in $count places"
  done
}
check_files_after_close
summary=""
for what in "${!DONE[@]}"; do summary+=" $what=${DONE[$what]}"; done
echo "soak: passed $ACTIONS actions, seed $SEED:$summary"
echo "soak: $(ls "$TRASH/files" 2>/dev/null | wc -l) in the Trash, $(ls "$KEEP" | wc -l) in Keep, $(ls "$MAYBE" | wc -l) in Maybe"
