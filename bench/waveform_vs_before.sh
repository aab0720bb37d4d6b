#!/usr/bin/env bash
# The waveform's reading as it is now, with the loudness measured in the same
# pass, against the reading as it was before the loudness was measured: the
# waveform benchmarks of both trees (BM_PeaksOfAThreeMinuteFlac and
# BM_PeaksOfAnHourLongWav), the older one checked out and built in a scratch
# folder, run by turns ROUNDS times, which goes first changing every round.
# Reports each one's median and the ratio now / before.
#
#   bench/waveform_vs_before.sh [ROUNDS] [BEFORE]   (default 5 and the last commit
#                                                    without the measure; builds what it runs)
#
# Ends with status 1 when a median ratio is over 1.10.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROUNDS=${1:-5}
BEFORE=${2:-0ee7b7b6384579a5448d71c76313ced5abb74dbd}
"$ROOT/scripts/build.sh" thrennic_bench >/dev/null

WORK=$(mktemp -d)
cleanup() {
  git -C "$ROOT" worktree remove --force "$WORK/before" >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
git -C "$ROOT" worktree add --detach "$WORK/before" "$BEFORE" >/dev/null 2>&1
cmake -S "$WORK/before" -B "$WORK/before-build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$WORK/before-build" --target thrennic_bench >/dev/null

declare -A BINARY=([before]="$WORK/before-build/bench/thrennic_bench"
                   [now]="$ROOT/build/bench/thrennic_bench")
# One benchmark at a time: their counters differ, which the CSV output refuses.
time_of() { # time_of WHICH FILTER: real time in ms
  QT_QPA_PLATFORM=offscreen "${BINARY[$1]}" --benchmark_filter="$2" --benchmark_format=csv \
    2>/dev/null | awk -F, '/^"BM_/ { print $3 }'
}
for round in $(seq "$ROUNDS"); do
  order=(before now)
  ((round % 2)) || order=(now before)
  for bench in BM_PeaksOfAThreeMinuteFlac BM_PeaksOfAnHourLongWav; do
    for which in "${order[@]}"; do
      t=$(time_of "$which" "$bench")
      [[ -n $t ]] || { echo "$bench did not run in the $which tree" >&2; exit 2; }
      echo "$bench $which $t" >>"$WORK/times"
    done
  done
done

awk -v rounds="$ROUNDS" '
  function median(key,   n, i, j, v, t) {
    n = split(all[key], v, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  { all[$1 " " $2] = all[$1 " " $2] " " $3; names[$1] = 1 }
  END {
    printf "median of %d runs each, ms:\n", rounds
    failed = 0
    for (name in names) {
      before = median(name " before"); now = median(name " now")
      printf "  %-28s before %8.1f   now %8.1f   now/before %.3f\n", name, before, now, now / before
      if (now / before > 1.10) failed = 1
    }
    exit failed
  }' "$WORK/times"
