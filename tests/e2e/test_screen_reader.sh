#!/usr/bin/env bash
# What a screen reader hears: the program on the accessibility bus (AT-SPI) of
# a session of the test's own, read with pyatspi as Orca reads it. Every
# control of the player and the window is there with its name and role, can
# take the focus, and the player says what plays.
if [[ -z ${THRENNIC_TEST_BUS:-} ]]; then
  THRENNIC_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/a11y.log" 2>&1 &
PIDS+=($!)
wait_for 20 bash -c "gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress >/dev/null 2>&1" ||
  fail "no accessibility bus: $(cat "$WORK/a11y.log")"
start_x
saved_playlist one two three
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_app

# Debian's own Python, which pyatspi is installed for.
/usr/bin/python3 - <<'PY' || fail "the accessibility tree is not what a screen reader needs"
import sys, time
import pyatspi

def app():
    for _ in range(200):
        for a in pyatspi.Registry.getDesktop(0):
            if a is not None and a.name.lower() == "thrennic":
                return a
        time.sleep(0.1)
    sys.exit("the program never showed up on the accessibility bus")

def walk(node, found):
    for child in node:
        if child is None:
            continue
        found.append(child)
        walk(child, found)
    return found

wanted = {
    ("push button", "Previous"), ("push button", "Stop"), ("push button", "Next"),
    ("push button", "Mute"), ("slider", "Position"), ("slider", "Volume"),
    ("tree", "Playlist"), ("check box", "Shuffle"), ("check box", "Repeat"),
    ("push button", "Delete Playing File To Recycle Bin"), ("push button", "Help"),
}
deadline = time.time() + 20
while True:
    nodes = walk(app(), [])
    seen = {(n.getRoleName(), n.name): n for n in nodes}
    missing = wanted - set(seen)
    players = [n for n in nodes if n.name.startswith("Player: three.wav, playing, ")]
    if (not missing and players) or time.time() > deadline:
        break
    time.sleep(0.2)
if missing:
    sys.exit("missing: %s\nthere: %s" % (sorted(missing), sorted(seen)))
if not players:
    sys.exit("the player does not say what plays: %s" % sorted(n.name for n in nodes if n.name.startswith("Player")))
play = [k for k in seen if k[0] == "push button" and k[1] in ("Play", "Pause")]
if not play:
    sys.exit("no Play/Pause button")
for node in [seen[key] for key in sorted(wanted) + play] + players[:1]:
    if not node.getState().contains(pyatspi.STATE_FOCUSABLE):
        sys.exit("%s %r cannot take the focus" % (node.getRoleName(), node.name))
PY
close_app
echo "screen reader test passed"
