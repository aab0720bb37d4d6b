#!/usr/bin/env bash
# Makes the sample clips that ship in Samples/: each says its own name over a
# soft tone, in WAV, FLAC, OGG and MP3. Needs espeak-ng, sox and lame
# (apt-get install espeak-ng sox lame). The clips are committed; run this only
# to make them anew.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/Samples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*

# name | tone (Hz) | format
while IFS='|' read -r name tone format; do
  espeak-ng -v en -s 150 -w "$work/voice.wav" "$name"
  sox "$work/voice.wav" -r 22050 -c 1 "$work/voice22.wav"
  length=$(soxi -D "$work/voice22.wav")
  sox -n -r 22050 -c 1 "$work/tone.wav" synth "$length" sine "$tone" vol 0.08
  sox -m "$work/voice22.wav" "$work/tone.wav" "$work/mix.wav" norm -3
  case "$format" in
    mp3) lame --quiet -b 48 "$work/mix.wav" "$out/$name.mp3" ;;
    *) sox "$work/mix.wav" "$out/$name.$format" ;;
  esac
done <<'LIST'
Sample one|220|wav
Sample two|262|flac
Sample three|294|ogg
Sample four|330|mp3
Sample five|349|wav
Sample six|392|ogg
LIST
ls -l "$out"
