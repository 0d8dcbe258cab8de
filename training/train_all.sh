#!/usr/bin/env bash
# Rebuilds every shipped model: the dictionary and aligned lexicon from Debian's packages, then
# the recognizer's four phoneme networks from the speech corpus.
#
#   training/train_all.sh [STATE]        (STATE: state units per network, default 512)
#
# Stages: lexical files; features; augmented copies; 16 kHz bootstrap networks on fraser's
# labels; then in every further round the latest 16 kHz networks align the transcript-only
# corpora and networks learn from all corpora and the copies (16 kHz, then all four from round
# 3 on); export, evaluation and the parity check.
#
# Environment: VOXTRAIL_TRAIN_DIR (cache folder, default build-train/cache), VOXTRAIL_CORPUS
# (default /work/shared/corpus), BOOT_EPOCHS (default 16), EPOCHS (all-corpora networks trained
# from scratch, default 11), FINE_EPOCHS (16 kHz third round, default 6), LAST_EPOCHS (each later
# round, default 4), LAST_ROUND (default 5), PARALLEL (networks trained at once, each on
# 2/PARALLEL threads; default 2). Every stage resumes where an interrupted run stopped.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PY=/usr/bin/python3
STATE=${1:-512}
BOOT_EPOCHS=${BOOT_EPOCHS:-16}
EPOCHS=${EPOCHS:-11}
FINE_EPOCHS=${FINE_EPOCHS:-6}
LAST_EPOCHS=${LAST_EPOCHS:-4}
LAST_ROUND=${LAST_ROUND:-5}
PARALLEL=${PARALLEL:-2}
export VOXTRAIL_TRAIN_DIR=${VOXTRAIL_TRAIN_DIR:-$ROOT/build-train/cache}
LOGS=$VOXTRAIL_TRAIN_DIR/logs
mkdir -p "$LOGS"

bash "$ROOT/scripts/install-deps.sh" --training

# 1. The engine's feature, posterior and alignment tools (release build outside the tree).
cmake -S "$ROOT" -B "$ROOT/build-train" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVOXTRAIL_BUILD_TESTS=OFF -DVOXTRAIL_BUILD_BENCHMARKS=OFF >/dev/null
ninja -j2 -C "$ROOT/build-train" vx-features vx-posteriors vx-align vx-pronounce

# 1b. Dictionary and aligned lexicon (deterministic; about half a minute), and the letter-to-sound
# measurement on held-out words.
$PY "$ROOT/training/lexicon/build_dictionary.py"
# The training corpora are aligned with festlex's pronunciations only, without pocketsphinx's
# alternatives (mostly full vowels for festlex's schwas), so the networks learn the phones the
# dictionary writes first; the shipped alignment may still pick a full vowel where it hears one.
TRAINING_DICTIONARY=$VOXTRAIL_TRAIN_DIR/training_dictionary.dat
$PY "$ROOT/training/lexicon/build_dictionary.py" --without-sphinx-alternatives \
  --out "$TRAINING_DICTIONARY" >/dev/null
$PY "$ROOT/training/lexicon/align_lexicon.py"
$PY "$ROOT/training/lexicon/evaluate_lts.py" \
  --tool "$ROOT/build-train/tools/pronounce/vx-pronounce" | tee "$LOGS/lexicon.log"

# 2. Features of every corpus utterance at 16 and 8 kHz (two processes).
$PY "$ROOT/training/networks/features.py" --jobs 2 2>&1 | tee "$LOGS/features.log"

# 2b. Augmented copies of the training utterances (speed, vocal-tract length, band, noise, gain).
$PY "$ROOT/training/networks/augment.py" --jobs 2 2>&1 | tee "$LOGS/augment.log"

THREADS=$(( 2 / PARALLEL > 0 ? 2 / PARALLEL : 1 ))
pairs() {  # function: runs it for each network, PARALLEL at a time
  local jobs_list=("16000 forward" "16000 backward" "8000 forward" "8000 backward")
  [ "$2" = 16k ] && jobs_list=("16000 forward" "16000 backward")
  local pids failed=0
  for ((i = 0; i < ${#jobs_list[@]}; i += PARALLEL)); do
    pids=()
    for ((j = i; j < i + PARALLEL && j < ${#jobs_list[@]}; ++j)); do
      $1 ${jobs_list[j]} &
      pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  done
  # A failed network stops the pipeline here, not at a later stage that needs it.
  [ "$failed" = 0 ] || { echo "train_all: a $1 run failed (see $LOGS)" >&2; exit 1; }
}
tag() { [ "$1" = 16000 ] && echo 16k || echo 8k; }
TRAIN=("$PY" "$ROOT/training/networks/train.py" --state "$STATE" --threads "$THREADS"
       --chunk 25 --batch 8 --lr 2e-3)

# 3. Bootstrap: the 16 kHz networks on fraser's own phone labels.
bootstrap() {  # rate direction
  local name
  name=$(tag "$1")_$2_s$STATE
  "${TRAIN[@]}" --rate "$1" --direction "$2" --epochs "$BOOT_EPOCHS" \
    --decay-after $((BOOT_EPOCHS * 2 / 3)) >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
pairs bootstrap 16k

# 3b. Labels for the transcript-only corpora: the engine's transcript alignment (label files
# already in the cache are kept). Each alignment is made by the latest 16 kHz networks and
# the next networks learn from it.
CORPORA=(fraser cathy ljspeech keywords fraser@aug1 cathy@aug1 ljspeech@aug1 keywords@aug1)
# Keywords' many short clips and the augmented copies are drawn in part each epoch; from the
# third round on fraser (the one corpus with labels of its own) comes twice an epoch.
SHARES=(fraser=2 keywords=0.3 fraser@aug1=0.5 cathy@aug1=0.35 ljspeech@aug1=0.35
        keywords@aug1=0.1)
R1_SHARES=(keywords=0.3 fraser@aug1=0.5 cathy@aug1=0.5 ljspeech@aug1=0.5 keywords@aug1=0.15)
DEV=(--dev-corpora fraser cathy ljspeech keywords)
ALL=(--corpora "${CORPORA[@]}" --share "${SHARES[@]}" "${DEV[@]}")
align_with() {  # run-name suffix, label folder
  local data=$VOXTRAIL_TRAIN_DIR/data$1
  mkdir -p "$data"
  # vx-align loads all six files; the 8 kHz networks are not used by the 16 kHz alignment.
  cp "$ROOT"/data/KvParlo/Data/*.dat "$data/"
  cp "$TRAINING_DICTIONARY" "$data/DtC6dal.dat"
  $PY "$ROOT/training/networks/ship.py" --state "$STATE" --rates 16000 --suffix "16000=$1" \
    --sharpen 2 --data "$data"
  $PY "$ROOT/training/networks/align_corpus.py" --data "$data" --labels "$2" --jobs 2 \
    | tail -n 1 | tee -a "$LOGS/align.log"
}
align_with "" "$VOXTRAIL_TRAIN_DIR/labels_boot"
round1() {  # rate direction
  local name
  name=$(tag "$1")_$2_s${STATE}_r1
  "${TRAIN[@]}" --rate "$1" --direction "$2" --epochs "$EPOCHS" \
    --decay-after $((EPOCHS * 2 / 3)) --corpora "${CORPORA[@]}" --share "${R1_SHARES[@]}" \
    "${DEV[@]}" --labels "$VOXTRAIL_TRAIN_DIR/labels_boot" \
    --name "$name" >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
pairs round1 16k
align_with _r1 "$VOXTRAIL_TRAIN_DIR/labels"

# 3c. The four networks on the second labels: 16 kHz continues from round two, 8 kHz starts
# afresh; the best epoch by the development loss over every corpus's development split.
final() {  # rate direction
  local name init=()
  name=$(tag "$1")_$2_s${STATE}_all
  if [ "$1" = 16000 ]; then
    init=(--init "$VOXTRAIL_TRAIN_DIR/runs/$(tag "$1")_$2_s${STATE}_r1/best.dat" --epochs
          "$FINE_EPOCHS" --lr 1e-3 --decay-after $((FINE_EPOCHS / 2)))
  else
    init=(--epochs "$EPOCHS" --decay-after $((EPOCHS * 2 / 3)))
  fi
  "${TRAIN[@]}" --rate "$1" --direction "$2" "${init[@]}" "${ALL[@]}" --name "$name" \
    >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
pairs final all

# 3d. Later rounds: the latest 16 kHz networks align the corpora again and all four networks
# continue on those labels for LAST_EPOCHS at rate 5e-4 (round 4 from runs/*_all, round 5 from
# runs/*_r4, ...); the last round's networks are shipped.
later() {  # rate direction (round in ROUND, previous run suffix in PREVIOUS)
  local name
  name=$(tag "$1")_$2_s${STATE}_r$ROUND
  "${TRAIN[@]}" --rate "$1" --direction "$2" --lr 5e-4 --epochs "$LAST_EPOCHS" \
    --decay-after $((LAST_EPOCHS / 2)) \
    --init "$VOXTRAIL_TRAIN_DIR/runs/$(tag "$1")_$2_s${STATE}$PREVIOUS/best.dat" "${ALL[@]}" \
    --labels "$VOXTRAIL_TRAIN_DIR/labels_r$((ROUND - 1))" --name "$name" >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
PREVIOUS=_all
for ((ROUND = 4; ROUND <= LAST_ROUND; ++ROUND)); do
  align_with "$PREVIOUS" "$VOXTRAIL_TRAIN_DIR/labels_r$((ROUND - 1))"
  pairs later all
  PREVIOUS=_r$ROUND
done
SHIP_SUFFIX=(--suffix "16000=$PREVIOUS" "8000=$PREVIOUS")

# 4. Ship the best epoch of each network (logits sharpened, priors partly corrected: see
# ship.py) and measure it.
$PY "$ROOT/training/networks/ship.py" --state "$STATE" "${SHIP_SUFFIX[@]}"
$PY "$ROOT/training/networks/evaluate.py" --json "$VOXTRAIL_TRAIN_DIR/evaluation_s$STATE.json" \
  | tee "$LOGS/evaluation_s$STATE.log"
for corpus in fraser cathy ljspeech keywords; do
  $PY "$ROOT/training/networks/evaluate_decoder.py" --corpus "$corpus" \
    --json "$VOXTRAIL_TRAIN_DIR/evaluation_decoder_${corpus}_s$STATE.json"
done | tee "$LOGS/evaluation_decoder_s$STATE.log"
$PY "$ROOT/training/networks/test_parity.py" \
  --posteriors "$ROOT/build-train/tools/posteriors/vx-posteriors" \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9fs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/16k/fraser/arctic_b0300.vxfeat" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9bs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/16k/fraser/arctic_b0300.vxfeat" --backward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9fs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/8k/fraser/arctic_b0300.vxfeat" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9bs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/8k/fraser/arctic_b0300.vxfeat" --backward
