#!/usr/bin/env bash
# A healthy drive that is only slow is not taken for a dead one: a saved list of
# 100,000 entries on a drive that answers every call after 300 ms, restored on
# a machine kept busy, comes up with no entry marked "(its drive is not
# answering)", and the last entry plays. Once the drive stops answering, the
# next start marks its entries, and the marks go as soon as it answers again.
if [[ -z ${THRENNIC_TEST_BUS:-} ]]; then
  THRENNIC_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
hung_drive d0/take.wav
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/a11y.log" 2>&1 &
PIDS+=($!)
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_x

# Ten folders of 10,000 files each (links to a short file), then one local file.
sox -n -r 8000 -c 1 "$BACKING/d0/take.wav" synth 1 sine 440
saved_playlist last
python3 - "$BACKING" "$MOUNT" "$MUSIC/last.wav" "$CONF" <<'PY'
import os, shutil, sys
backing, mount, last, conf = sys.argv[1:]
paths = []
for folder in range(10):
    os.makedirs(f"{backing}/d{folder}", exist_ok=True)
    source = f"{backing}/d{folder}/.source.wav"  # a file has at most so many links
    shutil.copy(f"{backing}/d0/take.wav", source)
    for i in range(10000):
        name = f"d{folder}/take {i}.wav"
        os.link(source, f"{backing}/{name}")
        paths.append(f"{mount}/{name}")
paths.append(last)
with open(conf, "w") as out:
    out.write("[Thrennic]\nListCount=%d\n" % len(paths))
    out.writelines("Song%d=%s\n" % (i, p) for i, p in enumerate(paths))
PY

# marks SAMPLE: how many of a sample of the entries on the drive (every 997th,
# and the first screenful) the list shows as not answering.
marks() {
  /usr/bin/python3 - <<'PY'
import sys, time
import pyatspi
for _ in range(200):
    apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name.lower() == "thrennic"]
    if apps:
        break
    time.sleep(0.1)
else:
    sys.exit("the program is not on the accessibility bus")
def find(node):
    for child in node:
        if child is None:
            continue
        if child.getRoleName() == "tree" and child.name == "Playlist":
            return child
        found = find(child)
        if found:
            return found
tree = find(apps[0])
table = tree.queryTable()
rows = table.nRows
if rows != 100001:
    sys.exit("the list has %d entries" % rows)
sample = sorted(set(list(range(30)) + list(range(0, rows - 1, 997))))
print(sum("(its drive is not answering)" in table.getAccessibleAt(r, 0).name for r in sample), len(sample))
PY
}

echo 300 >"$FLAG.slow"
yes >/dev/null & LOAD=($!)
yes >/dev/null & LOAD+=($!)
PIDS+=("${LOAD[@]}")
start_app
wait_for 120 plays "$MUSIC/last.wav" || fail "the look at the slow drive did not end"
read -r marked sampled < <(marks) || fail "the list could not be read"
((marked == 0)) || fail "$marked of $sampled entries on the slow drive were marked"
import -window root "${SHOT_DIR:-$WORK}/slow-drive.png"
close_app
kill "${LOAD[@]}"
rm -f "$FLAG.slow"

touch "$FLAG"
start_app
wait_for 60 bash -c "read -r m s < <($(declare -f marks); marks) && ((m == s))" \
  || fail "the entries of the drive that stopped answering were not marked: $(marks)"
rm -f "$FLAG"
wait_for 60 bash -c "read -r m s < <($(declare -f marks); marks) && ((m == 0))" \
  || fail "the marks stayed once the drive answered: $(marks)"
close_app
echo "slow drive test passed"
