#!/usr/bin/env bash
# `cmake --install` into a fresh prefix gives a working program: P/bin/thrennic
# starts it, it finds the samples beside itself, its window's class is the menu
# entry's, and the menu entry and metainfo pass their validators.
source "$(dirname "$0")/lib.sh"
build=$(cd "$(dirname "$PROGRAM")" && pwd)
prefix="$WORK/prefix"
cmake --install "$build" --prefix "$prefix" >"$WORK/install.log" || { cat "$WORK/install.log"; fail "the install failed"; }

id=org.thrennic.Thrennic
desktop="$prefix/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the menu entry"
# The program's own table of audio types, WavPack and AIFF among them.
grep -q '^MimeType=audio/mpeg;.*audio/x-aiff;.*audio/x-wavpack;' "$desktop" || fail "the menu entry's MimeType is not the program's: $(grep MimeType "$desktop")"
# Found in the menu by what it is for.
for word in sort cull trash audition; do
  grep -q "^Keywords=\(.*;\)\?$word;" "$desktop" || fail "the menu entry's Keywords lack $word: $(grep Keywords "$desktop")"
done
grep -q 'Ctrl+1' "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo does not describe sorting"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli refused the metainfo"
for icon in scalable/apps/$id.svg 48x48/apps/$id.png 128x128/apps/$id.png 256x256/apps/$id.png; do
  [[ -s "$prefix/share/icons/hicolor/$icon" ]] || fail "no icon $icon"
done
[[ $(identify -format '%wx%h' "$prefix/share/icons/hicolor/256x256/apps/$id.png") == 256x256 ]] || fail "the 256 icon is not 256 pixels"
[[ -L "$prefix/bin/thrennic" && -x "$prefix/bin/thrennic" ]] || fail "no P/bin/thrennic link"

start_x
PROGRAM="$prefix/bin/thrennic"
start_app
class=$(xprop -id "$WINDOW" WM_CLASS | sed 's/.*= //')
wanted=$(sed -n 's/^StartupWMClass=//p' "$desktop")
grep -q "\"$wanted\"" <<<"$class" || fail "the window's class $class is not $wanted"
xdotool windowactivate --sync "$WINDOW"
xdotool mousemove --window "$WINDOW" 400 479 click 1
wait_dialog
xdotool windowactivate --sync "$DIALOG" key alt+n
samples="$prefix/lib/thrennic/Samples"
count=$(find "$samples" -maxdepth 1 -type f | wc -l)
((count > 0)) || fail "no samples were installed"
conf="$XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf"
wait_for 10 grep -qx "ListCount=$count" "$conf" || { cat "$conf" 2>/dev/null; fail "the installed samples were not added"; }
grep -qF "Song0=$samples/" "$conf" || fail "the samples did not come from the installed folder"
close_app
echo "install test passed ($count samples)"
