# Sourced by the whole-process benchmarks: a temporary folder ($WORK, removed
# at exit with every process listed in PIDS), a private runtime folder, a
# private X server with openbox on $DISPLAY, and a private session bus.
WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r line <&3; PIDS+=("${line#pid }")
read -r -t 20 number <&3 || { echo "Xvfb did not start" >&2; exit 2; }
export DISPLAY=":$number"
openbox >/dev/null 2>&1 & PIDS+=("$!")
for _ in $(seq 200); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done

# A private session bus, as every desktop session has one. Without it, Qt's
# accessibility bridge forks a dbus-launch when the first label gets its text,
# and after that fork every page the program writes to faults once more: a
# cost no user with a desktop pays.
exec 4< <(dbus-daemon --session --nofork --nopidfile --print-address=1 2>/dev/null & echo "pid $!")
for _ in 1 2; do
  read -r -t 20 line <&4 || { echo "dbus-daemon did not start" >&2; exit 2; }
  case $line in
    pid\ *) PIDS+=("${line#pid }") ;;
    *) export DBUS_SESSION_BUS_ADDRESS="$line" ;;
  esac
done

# copies FILE PATTERN COUNT: COUNT copies of FILE named by the printf PATTERN
# ("take %d.wav"), written at once (a file takes at most 65,000 links).
copies() {
  /usr/bin/python3 -c 'import sys; data = open(sys.argv[1], "rb").read()
for i in range(int(sys.argv[3])): open(sys.argv[2] % i, "wb").write(data)' "$@"
}

# saved_home FOLDER COUNT: settings and data folders under FOLDER, exported as
# the program's, whose settings list $music/take 0.wav … take COUNT-1.wav.
saved_home() {
  export XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data"
  mkdir -p "$XDG_CONFIG_HOME/Kestrelin" "$XDG_DATA_HOME"
  {
    echo '[Thrennic]'
    echo "ListCount=$2"
    for i in $(seq 0 $(($2 - 1))); do echo "Song$i=$music/take $i.wav"; done
  } >"$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
}

# probe SECONDS ACTION...: how long the window ($window) stops answering while
# ACTION runs, by the stall probe ($PROBE): "OWN LONGEST MACHINE" in ms, the
# longest stall less the machine's own pauses, as measured, and the machine's
# longest pause.
probe() {
  local seconds=$1 out="$WORK/probe.out"; shift
  "$PROBE" "$window" "$seconds" >"$out" &
  local prober=$!
  sleep 0.2
  "$@" >/dev/null 2>&1 || true
  wait "$prober"
  sed -n 's/.*longest_ms=\([0-9.]*\) own_ms=\([0-9.]*\) machine_ms=\([0-9.]*\).*/\2 \1 \3/p' "$out"
}
