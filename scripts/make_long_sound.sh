#!/usr/bin/env bash
# Speaks a twelve-minute take with eSpeak NG (sentences with pauses between them) and writes it
# with its transcript as OUTDIR/long_take.wav and OUTDIR/long_take.txt: longer than one analysis
# accepts, for the tests that cut and join long sounds.
#   scripts/make_long_sound.sh OUTDIR [MINUTES]
set -euo pipefail
out=${1:?usage: make_long_sound.sh OUTDIR [MINUTES]}
minutes=${2:-12}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Sentences from small word lists in a fixed pseudo-random order, so the words vary and every
# machine makes the same take; about 2.5 s each with the pause.
awk -v count=$((minutes * 24)) 'BEGIN {
    split("cat dog bird horse fish mouse goat sheep lion bear", noun, " ")
    split("sees finds likes helps calls follows meets watches", verb, " ")
    split("small green quiet happy old brave young tired", adj, " ")
    seed = 7
    for (i = 1; i <= count; i++) {
        seed = (seed * 1103515245 + 12345) % 2147483648; a = int(seed / 65536) % 10 + 1
        seed = (seed * 1103515245 + 12345) % 2147483648; v = int(seed / 65536) % 8 + 1
        seed = (seed * 1103515245 + 12345) % 2147483648; j = int(seed / 65536) % 8 + 1
        seed = (seed * 1103515245 + 12345) % 2147483648; b = int(seed / 65536) % 10 + 1
        printf "The %s %s the %s %s.\n", noun[a], verb[v], adj[j], noun[b]
    }
}' > "$tmp/sentences"
{
    echo '<speak>'
    sed 's|$| <break time="700ms"/>|' "$tmp/sentences"
    echo '</speak>'
} > "$tmp/take.ssml"
espeak-ng -m -v en-us -s 150 -f "$tmp/take.ssml" -w "$tmp/take.wav"
sox -q -D "$tmp/take.wav" -r 16000 -b 16 -c 1 "$out/long_take.wav"
tr '\n' ' ' < "$tmp/sentences" | sed 's/ $/\n/' > "$out/long_take.txt"
