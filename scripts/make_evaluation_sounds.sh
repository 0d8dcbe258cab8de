#!/usr/bin/env bash
# Speaks the evaluation sentences with eSpeak NG and writes each sound with its transcript (.txt)
# into OUTDIR. Deterministic for a given eSpeak NG and SoX; nothing recorded is redistributed.
#   scripts/make_evaluation_sounds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_evaluation_sounds.sh OUTDIR}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# name | voice | sox output options | text
while IFS='|' read -r name voice opts text; do
    [ -n "$name" ] || continue
    espeak-ng -v "$voice" -s 150 -w "$tmp/$name.raw.wav" "$text"
    # No dither: the same fixtures on every machine.
    # shellcheck disable=SC2086
    sox -q -D "$tmp/$name.raw.wav" $opts "$out/$name"
    printf '%s\n' "$text" > "$out/${name%.*}.txt"
done <<'LIST'
hello_world.wav|en-us|-r 16000 -b 16 -c 1|Hello world. This is a test of automatic lip synchronization.
quick_fox.wav|en|-r 22050 -b 16 -c 1|The quick brown fox jumps over the lazy dog.
phone_message.wav|en-us|-r 8000 -b 16 -c 1|Please call me back when you get this message.
LIST
