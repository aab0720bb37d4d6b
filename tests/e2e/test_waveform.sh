#!/usr/bin/env bash
# The player's screen draws the playing file's waveform: a file that is loud for
# its first half and silent for its second shows sound on the left half only.
source "$(dirname "$0")/lib.sh"
start_x

MUSIC="$WORK/music"
mkdir -p "$MUSIC"
sox -n -r 44100 -c 2 -b 16 "$MUSIC/loud then silent.wav" synth 20 sine 220 gain -3 pad 0 20

"$PROGRAM" "$MUSIC/loud then silent.wav" >"$WORK/app.log" 2>&1 & APP=$!
PIDS+=("$APP")
wait_for 30 xdotool search --onlyvisible --name '^Thrennic$' || { cat "$WORK/app.log"; fail "no window"; }
WINDOW=$(xdotool search --onlyvisible --name '^Thrennic$' | head -n 1)
wait_for 20 plays "$MUSIC/loud then silent.wav" || fail "the file does not play"

# In the window's own coordinates: the player's screen is at (8, 12), 520 wide;
# the waveform spans its width, less margins, in the screen's middle rows.
SHOT="$WORK/window.png"
band() { # band X WIDTH: the share of pixels in that band that are not the screen's background
  local bg
  bg=$(convert "$SHOT" -format '%[pixel:p{12,20}]' info:)
  convert "$SHOT" -crop "${2}x110+${1}+150" +repage -fuzz 12% -fill white -opaque "$bg" \
    -fill black +opaque white -format '%[fx:1-mean]' info:
}
drawn_left() {
  import -window "$WINDOW" "$SHOT"
  awk -v share="$(band 24 226)" 'BEGIN { exit !(share > 0.3) }'
}
wait_for 20 drawn_left || fail "no waveform on the left half (share $(band 24 226))"
right=$(band 290 222)
awk -v share="$right" 'BEGIN { exit !(share < 0.05) }' || fail "the silent half is drawn too (share $right)"
echo "left half $(band 24 226), right half $right"

close_app
echo "waveform test passed"
