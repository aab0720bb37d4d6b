# Shared by the end-to-end tests: a private X server with a window manager, the
# program started with its own settings and Trash folders, and waits with deadlines.
set -euo pipefail

PROGRAM=${1:?usage: $0 path/to/thrennic}
WORK=$(mktemp -d)
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
PIDS=()

cleanup() {
  local pid tries
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  # A program killed mid-save may still write into WORK for a moment: it is
  # let go first, so the folder goes whole and a test's status stays its own.
  for pid in "${PIDS[@]}"; do
    for ((tries = 0; tries < 50; tries++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$WORK" 2>/dev/null || { sleep 0.5; rm -rf "$WORK" 2>/dev/null; } || true
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds or the time is up.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# press_until SECONDS CHECK ACTION...: ACTION (a Delete press, a click on the
# delete button), again each second until CHECK passes. A file the user did not
# choose in the window (the restored one, a handed-over one) goes only once it
# has played half a second: presses before that are ignored, as a user sees.
press_until() {
  local deadline=$((SECONDS + $1)) check=$2 until; shift 2
  while :; do
    "$@"
    until=$((SECONDS + 1))
    while ((SECONDS <= until)); do
      bash -c "$check" >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    ((SECONDS < deadline)) || return 1
  done
}

# start_x: a private X server and openbox on it; a start that fails is tried again.
start_x() {
  try_start_x || try_start_x || try_start_x || fail "the X server or openbox did not start"
}

try_start_x() {
  exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null & echo "pid $!")
  local line number="" xpid
  read -r line <&3; xpid=${line#pid }; PIDS+=("$xpid")
  read -r -t 20 number <&3 || { echo "Xvfb gave no display number" >&2; kill "$xpid" 2>/dev/null; return 1; }
  export DISPLAY=":$number"
  wait_for 20 xdpyinfo || { echo "display $DISPLAY did not answer" >&2; kill "$xpid" 2>/dev/null; return 1; }
  openbox >"$WORK/openbox.log" 2>&1 & local wm=$!; PIDS+=("$wm")
  # wmctrl -m answers once a window manager has announced itself (xprop always exits 0).
  wait_for 20 wmctrl -m && return 0
  echo "openbox did not announce itself on $DISPLAY ($(kill -0 "$wm" 2>/dev/null && echo running || echo ended)); it said:" >&2
  cat "$WORK/openbox.log" >&2
  kill "$wm" "$xpid" 2>/dev/null
  return 1
}

# start_app: starts the program and sets WINDOW to its main window.
start_app() {
  "$PROGRAM" >"$WORK/app.log" 2>&1 & APP=$!
  PIDS+=("$APP")
  wait_for 30 xdotool search --onlyvisible --name '^Thrennic$' || { cat "$WORK/app.log"; fail "no window"; }
  WINDOW=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
  # The window manager ignores requests about a window it has not taken on yet.
  wait_for 20 bash -c "wmctrl -l | grep -qi '^$(printf '0x%08x' "$WINDOW")'" || fail "the window manager never managed the window"
}

# close_app: closes the window through the window manager; the program must end by itself.
close_app() {
  wmctrl -i -c "$WINDOW"
  wait_for 20 bash -c "! kill -0 $APP" || { cat "$WORK/app.log"; fail "the program did not end after its window closed"; }
  wait "$APP" || fail "the program ended with status $?"
}

# is_not_blank PNG: the picture has more than a handful of colours.
is_not_blank() { (( $(/usr/bin/convert "$1" -format '%k' info:) > 16 )); }

# saved_playlist NAME...: a 30-second WAV for each name in $MUSIC, and a settings
# file ($CONF) that lists them in that order, as an earlier run would have left it.
saved_playlist() {
  MUSIC="$WORK/music"
  CONF="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
  mkdir -p "$MUSIC" "$(dirname "$CONF")"
  local i=0 name
  {
    echo '[Thrennic]'
    echo "ListCount=$#"
    for name in "$@"; do
      sox -n -r 44100 -c 2 "$MUSIC/$name.wav" synth 30 sine 440
      echo "Song$i=$MUSIC/$name.wav"
      i=$((i + 1))
    done
  } > "$CONF"
}

# dialog_window: prints the id of a visible window of the program other than its main window.
dialog_window() {
  xdotool search --onlyvisible --pid "$APP" 2>/dev/null | grep -vx "$WINDOW" | head -n 1
}
# wait_dialog: sets DIALOG once a window other than the main one has appeared.
wait_dialog() {
  wait_for 20 bash -c "xdotool search --onlyvisible --pid $APP | grep -qvx $WINDOW" || fail "no dialog appeared"
  DIALOG=$(dialog_window)
}
# open_music: the music file the program holds open (the one it plays), or nothing.
open_music() {
  local fd
  for fd in /proc/"$APP"/fd/*; do
    readlink "$fd" 2>/dev/null
  done | grep -F "$MUSIC/" | head -n 1
}
trashed() { ls "$XDG_DATA_HOME/Trash/files" 2>/dev/null; }
plays() { [[ "$(open_music)" == "$1" ]]; }
no_dialog() { [[ -z "$(dialog_window)" ]]; }

# hung_drive FILE: a drive that can stop answering (tests/hung_fs), mounted at
# $MOUNT, showing $BACKING, with a 30-second WAV at FILE (relative to the drive's
# top); it hangs while $FLAG exists, and is slow while $FLAG.slow does (see
# tests/tools/hung_fs.c). Exits 77 (skipped) without FUSE and root.
hung_drive() {
  [[ -e /dev/fuse && $(id -u) -eq 0 ]] || { echo "needs /dev/fuse and root to mount"; exit 77; }
  BACKING="$WORK/backing" MOUNT="$WORK/share" FLAG="$WORK/hang"
  mkdir -p "$(dirname "$BACKING/$1")" "$MOUNT"
  sox -n -r 44100 -c 2 "$BACKING/$1" synth 30 sine 440
  "$(dirname "$PROGRAM")/tests/hung_fs" "$BACKING" "$FLAG" "$MOUNT" >"$WORK/fs.log" 2>&1 & PIDS+=($!)
  cleanup_mount() { rm -f "$FLAG" "$FLAG.writes" "$FLAG.slow"; fusermount3 -u -z "$MOUNT" 2>/dev/null || true; cleanup; }
  trap cleanup_mount EXIT
  wait_for 10 test -f "$MOUNT/$1" || fail "the test file system did not mount"
}
