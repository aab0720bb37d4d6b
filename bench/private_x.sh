# Sourced by the whole-process benchmarks: a temporary folder ($WORK, removed
# at exit with every process listed in PIDS), a private runtime folder, and a
# private X server with openbox on $DISPLAY.
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
