#!/usr/bin/env bash
# Files per second of `voxtrail analyze --batch` over short lines with their transcripts, one
# worker against two. A benchmark, not a test: never run in CI.
#   bench/batch_throughput.sh BUILD/cli/voxtrail [COUNT] [extra voxtrail options...]
# The lines are eSpeak NG sentences of one to three seconds; each analysis loads the engine's
# data afresh, as a user's batch pays it.
set -euo pipefail
tool=$(realpath "${1:?usage: batch_throughput.sh BUILD/cli/voxtrail [COUNT] [options...]}")
count=${2:-200}
shift $(( $# >= 2 ? 2 : 1 ))
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sentences=(
    "Hello there." "Where are you going?" "I told you so." "Bring the boxes inside."
    "That is not what I meant." "Look at the sky tonight." "We should leave now."
    "Nobody saw it coming." "Can you hear me?" "The train was late again."
    "Turn left at the corner." "She laughed at the joke." "Keep the change."
    "It is raining in the valley." "Open the window, please." "He forgot his keys."
    "Follow me." "The soup is too hot." "They won the match." "Good night, everyone."
)
mkdir -p "$tmp/lines"
for i in "${!sentences[@]}"; do
    espeak-ng -v en-us -s 160 -w "$tmp/raw$i.wav" "${sentences[$i]}"
    sox -q -D "$tmp/raw$i.wav" -r 16000 -b 16 -c 1 "$tmp/voice$i.wav"
done
: > "$tmp/list"
for ((n = 0; n < count; n++)); do
    i=$((n % ${#sentences[@]}))
    name=$(printf 'line%03d' "$n")
    cp "$tmp/voice$i.wav" "$tmp/lines/$name.wav"
    printf '%s\n' "${sentences[$i]}" > "$tmp/lines/$name.txt"
    echo "$tmp/lines/$name.wav" >> "$tmp/list"
done
audio=$(soxi -D "$tmp"/lines/*.wav | awk '{s += $1} END {printf "%.1f", s}')

echo "voxtrail batch: $count lines, $audio s of audio, $(nproc) processors," \
    "load average $(cut -d' ' -f1 /proc/loadavg) before"
TIMEFORMAT='%R %U %S'
for jobs in 1 2; do
    rm -rf "$tmp/out"
    { time "$tool" analyze --batch "$tmp/list" -j "$jobs" --output-dir "$tmp/out" "$@" \
        2> "$tmp/err"; } 2> "$tmp/time" || { cat "$tmp/err" >&2; exit 1; }
    made=$(find "$tmp/out" -type f | wc -l)
    # Wall time gives files per second; processor time (the workers' included) per file does not
    # depend on what else the machine runs.
    awk -v j="$jobs" -v n="$made" '{
        printf "  -j %d: %d files in %.2f s, %.1f files/s, %.1f ms of processor time a file\n",
            j, n, $1, n / $1, 1000 * ($2 + $3) / n }' "$tmp/time"
done
