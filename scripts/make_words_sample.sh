#!/usr/bin/env bash
# Makes the word recogniser's test sounds in OUTDIR: a spoken sentence whose words are known
# (words_sample.wav and its .txt), the same at 8 kHz and as 44.1 kHz stereo, and two seconds of
# digital silence. eSpeak NG's Klatt voice, slow and with gaps between words, is the one
# PocketSphinx hears best; no dither, so every machine makes the same sounds.
#   scripts/make_words_sample.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_words_sample.sh OUTDIR}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

text="Please go to the store and buy some bread."
espeak-ng -v en-us+klatt -s 120 -g 4 -w "$tmp/raw.wav" "$text"
sox -q -D "$tmp/raw.wav" -r 16000 -b 16 -c 1 "$out/words_sample.wav" pad 0.3 0.3
sox -q -D "$out/words_sample.wav" -r 8000 "$out/words_sample_8k.wav"
sox -q -D "$out/words_sample.wav" -r 44100 -c 2 "$out/words_sample_44k_stereo.wav"
printf '%s\n' "$text" > "$out/words_sample.txt"
sox -q -D -n -r 16000 -b 16 -c 1 "$out/silence.wav" trim 0 2
