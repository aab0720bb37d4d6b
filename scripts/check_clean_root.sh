#!/usr/bin/env bash
# The Debian package on a clean Debian 12: a minimal root made with
# debootstrap, the package installed there with apt (which must bring every
# library the program needs, those it opens at run time too), the program
# started under Xvfb inside that root on a copy of its samples, the samples
# listed, one played and sent to the Trash with Delete, the program closed,
# then the package purged with nothing of it left behind.
#
#   scripts/check_clean_root.sh [MIRROR]   (as root; default http://deb.debian.org/debian)
#
# Builds the package first (scripts/build.sh, cpack). The root is made afresh
# in a folder under /var/tmp and removed at the end. Ends with status 0 when
# every step passed, 1 with the step that failed. KEEP_ROOT=1 keeps the root
# (and says where) to look into a failure.
set -euo pipefail

SOURCE=$(cd "$(dirname "$0")/.." && pwd)
MIRROR=${1:-http://deb.debian.org/debian}
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ $(id -u) == 0 ]] || fail "this needs root (debootstrap and chroot)"
command -v debootstrap >/dev/null || apt-get install -y debootstrap >/dev/null

"$SOURCE/scripts/build.sh" thrennic >/dev/null
(cd "$SOURCE/build" && cpack -G DEB >/dev/null) || fail "cpack could not make the package"
deb=$(ls -t "$SOURCE"/build/thrennic_*.deb | head -n 1)
echo "package: $deb"

ROOT=$(mktemp -d /var/tmp/thrennic-clean-root.XXXXXX)
MOUNTED=()
cleanup() {
  local m
  for m in "${MOUNTED[@]}"; do umount -l "$m" 2>/dev/null || true; done
  if [[ -n ${KEEP_ROOT:-} ]]; then
    echo "the root is kept in $ROOT"
  else
    rm -rf --one-file-system "$ROOT"
  fi
}
trap cleanup EXIT

echo "making a minimal Debian 12 in $ROOT"
debootstrap --variant=minbase bookworm "$ROOT" "$MIRROR" >"$ROOT.debootstrap.log" 2>&1 ||
  { tail -20 "$ROOT.debootstrap.log"; fail "debootstrap failed"; }
rm -f "$ROOT.debootstrap.log"
for m in proc sys dev dev/pts; do
  mount --bind "/$m" "$ROOT/$m"
  MOUNTED=("$ROOT/$m" "${MOUNTED[@]}")
done
cp "$deb" "$ROOT/tmp/"
inside() {
  chroot "$ROOT" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

echo "installing the package with apt"
inside apt-get update -qq 2>&1 | grep -v '^W: Download is performed unsandboxed' || true
inside apt-get install -y -qq "/tmp/$(basename "$deb")" >/dev/null || fail "apt could not install the package"
missing=$(inside ldd /usr/lib/thrennic/thrennic | grep 'not found' || true)
[[ -z $missing ]] || fail "libraries the package does not bring: $missing"
# Opened by name at run time, so only the package's Depends can bring them.
libraries=$(inside ldconfig -p)
for library in libmpv.so.2 libavformat.so.59 libavcodec.so.59 libswresample.so.4 libavutil.so.57 libgio-2.0.so.0; do
  grep -qF "$library " <<<"$libraries" || fail "$library is not installed with the package"
done

# The tools of the check itself, installed only now so they cannot hide a missing dependency.
inside apt-get install -y -qq xvfb xdotool >/dev/null || fail "apt could not install Xvfb"
echo "starting it under Xvfb"
inside bash -s <<'CHECK' || fail "the program did not work in the clean root"
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { local n=$(( $1 * 10 )); shift; while ((n-- > 0)); do "$@" && return 0; sleep 0.1; done; return 1; }
export XDG_CONFIG_HOME=/root/.config XDG_DATA_HOME=/root/.local/share XDG_RUNTIME_DIR=/tmp/run DISPLAY=:71
mkdir -p /tmp/run /root/sorting && chmod 700 /tmp/run
# Nothing started here may outlive the check: a program left running would
# take the files of the next check's start as handed over to it.
started=()
trap 'kill "${started[@]}" 2>/dev/null || true' EXIT
Xvfb :71 -screen 0 1280x800x24 -nolisten tcp >/tmp/xvfb.log 2>&1 & started+=($!)
wait_for 20 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"
cp /usr/lib/thrennic/Samples/* /root/sorting/
count=$(ls /root/sorting | wc -l)
((count > 1)) || fail "the package brings no samples"
conf=$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf
thrennic /root/sorting >/tmp/app.log 2>&1 & app=$!
started+=("$app")
wait_for 30 xdotool search --onlyvisible --name '^Thrennic$' >/dev/null || { cat /tmp/app.log; fail "no window"; }
window=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
# A file handed over from outside must have played a moment before Delete
# takes it: pressed once a second until one file has gone.
trashed() { [[ $(ls "$XDG_DATA_HOME/Trash/files" 2>/dev/null | wc -l) == 1 ]]; }
xdotool windowfocus --sync "$window"
for _ in $(seq 20); do
  xdotool key Delete
  wait_for 1 trashed && break
done
trashed || { grep -v '^ALSA' /tmp/app.log; fail "Delete sent nothing to the Trash"; }
[[ $(ls /root/sorting | wc -l) == $((count - 1)) ]] || fail "the sorted folder does not hold one file fewer"
kill -TERM "$app"
wait_for 10 bash -c "! kill -0 $app 2>/dev/null" || fail "the program did not end on SIGTERM"
# What was listed comes back at the next start: every sample but the trashed one.
grep -qx "ListCount=$((count - 1))" "$conf" || fail "the list was not saved without the trashed file: $(cat "$conf" 2>&1)"
gone=$(ls "$XDG_DATA_HOME/Trash/files")
for ((i = 0; i < count - 1; ++i)); do
  [[ $(grep "^Song$i=" "$conf") != "Song$i=/root/sorting/$gone" ]] || fail "the trashed $gone is still in the saved list"
done
echo "listed $count samples, played one, trashed $(ls "$XDG_DATA_HOME/Trash/files")"
CHECK

echo "purging the package"
inside apt-get purge -y -qq thrennic >/dev/null || fail "apt could not purge the package"
for left in /usr/lib/thrennic /usr/bin/thrennic /usr/share/applications/org.thrennic.Thrennic.desktop \
  /usr/share/metainfo/org.thrennic.Thrennic.metainfo.xml; do
  [[ ! -e $ROOT$left && ! -L $ROOT$left ]] || fail "$left is left after the purge"
done
echo "clean root check passed"
