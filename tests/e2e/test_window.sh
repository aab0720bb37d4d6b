#!/usr/bin/env bash
# The program opens its window, titled and sized as designed, and ends when the
# window manager closes it.
source "$(dirname "$0")/lib.sh"
start_x
start_app

[[ $(xdotool getwindowname "$WINDOW") == "Thrennic" ]] || fail "title is '$(xdotool getwindowname "$WINDOW")'"
size=$(xwininfo -id "$WINDOW" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[[ $size == "800x501" ]] || fail "client area is $size, not 800x501"

import -window "$WINDOW" "$WORK/window.png"
is_not_blank "$WORK/window.png" || fail "the screenshot is blank"

close_app
echo "window test passed"
