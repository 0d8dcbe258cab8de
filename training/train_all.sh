#!/usr/bin/env bash
# Rebuilds every shipped model: the dictionary and aligned lexicon from Debian's packages, then
# the recognizer's four phoneme networks from the speech corpus.
#
#   training/train_all.sh [STATE]        (STATE: state units per network, default 512)
#
# Stages: lexical files; features; augmented copies; a speech-free corpus; phone labels of
# every training voice by the PocketSphinx teacher; the four networks on those labels; export,
# evaluation on the voices kept out of training, and the parity check. The voices kept out are
# fixed in training/networks/common.py (is_unseen); all of fraser is among them, so its own
# labels measure boundaries on a voice never trained on.
#
# Environment: VOXTRAIL_TRAIN_DIR (cache folder, default build-train/cache), VOXTRAIL_CORPUS
# (default ../shared/corpus beside the checkout), EPOCHS (16 kHz networks, default 12),
# EPOCHS_8K (8 kHz networks, default 8), PARALLEL (networks
# trained at once, each on 2/PARALLEL threads; default 2). Every stage resumes where an
# interrupted run stopped.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PY=/usr/bin/python3
STATE=${1:-512}
EPOCHS=${EPOCHS:-12}
EPOCHS_8K=${EPOCHS_8K:-8}
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
$PY "$ROOT/training/lexicon/align_lexicon.py"
$PY "$ROOT/training/lexicon/evaluate_lts.py" \
  --tool "$ROOT/build-train/tools/pronounce/vx-pronounce" | tee "$LOGS/lexicon.log"

# 2. Features of every utterance of the training corpora at 16 and 8 kHz, augmented copies of
# the training utterances (speed, vocal-tract length, band, noise, gain), and the speech-free
# corpus (digital silence and quiet noise, labelled silence).
SPEECH=(cathy ljspeech keywords speechocean)
LABELS=$VOXTRAIL_TRAIN_DIR/labels_teacher
$PY "$ROOT/training/networks/features.py" --corpora "${SPEECH[@]}" --jobs 2 2>&1 \
  | tee "$LOGS/features.log"
$PY "$ROOT/training/networks/augment.py" --corpora "${SPEECH[@]}" --jobs 2 2>&1 \
  | tee "$LOGS/augment.log"
$PY "$ROOT/training/networks/quiet.py" --labels "$LABELS" | tee "$LOGS/quiet.log"

# 3. Labels: the PocketSphinx teacher aligns every training utterance's transcript.
$PY "$ROOT/training/networks/teacher_align.py" --corpora "${SPEECH[@]}" --labels "$LABELS" \
  --jobs 2 | tee "$LOGS/teacher.log"

# 4. The four networks from scratch on the teacher's labels. Shares balance the voices: the two
# single readers are drawn in part, speechocean's many voices twice; the best epoch by the
# development loss over every corpus's development split.
THREADS=$(( 2 / PARALLEL > 0 ? 2 / PARALLEL : 1 ))
CORPORA=(cathy ljspeech keywords speechocean quiet
         cathy@aug1 ljspeech@aug1 keywords@aug1 speechocean@aug1)
SHARES=(cathy=0.5 ljspeech=0.7 keywords=0.5 speechocean=2 quiet=1
        cathy@aug1=0.25 ljspeech@aug1=0.35 keywords@aug1=0.25 speechocean@aug1=1)
tag() { [ "$1" = 16000 ] && echo 16k || echo 8k; }
network() {  # rate direction
  local name epochs=$EPOCHS
  [ "$1" = 8000 ] && epochs=$EPOCHS_8K
  name=$(tag "$1")_$2_s${STATE}_teacher
  $PY "$ROOT/training/networks/train.py" --state "$STATE" --threads "$THREADS" --chunk 25 \
    --batch 8 --lr 2e-3 --rate "$1" --direction "$2" --epochs "$epochs" \
    --decay-after $((epochs * 2 / 3)) --corpora "${CORPORA[@]}" --share "${SHARES[@]}" \
    --dev-corpora "${SPEECH[@]}" quiet --labels "$LABELS" --name "$name" \
    >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
jobs_list=("16000 forward" "16000 backward" "8000 forward" "8000 backward")
for ((i = 0; i < ${#jobs_list[@]}; i += PARALLEL)); do
  pids=()
  for ((j = i; j < i + PARALLEL && j < ${#jobs_list[@]}; ++j)); do
    network ${jobs_list[j]} &
    pids+=($!)
  done
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  # A failed network stops the pipeline here, not at a later stage that needs it.
  [ "$failed" = 0 ] || { echo "train_all: a network run failed (see $LOGS)" >&2; exit 1; }
done

# 5. Ship the best epoch of each network (logits doubled, priors a quarter corrected: see
# ship.py; chosen on the unseen voices), measure it on the voices kept out of training, and
# check engine/trainer parity.
$PY "$ROOT/training/networks/ship.py" --state "$STATE" --suffix 16000=_teacher 8000=_teacher \
  --sharpen 2 --prior-correction 0.25
$PY "$ROOT/training/networks/evaluate_unseen.py" \
  --json "$VOXTRAIL_TRAIN_DIR/evaluation_unseen_s$STATE.json" | tee "$LOGS/evaluation_unseen.log"
FEATURES=$VOXTRAIL_TRAIN_DIR/features
UTTERANCE=cathy/arctic_b0300_1592532225.vxfeat
$PY "$ROOT/training/networks/test_parity.py" \
  --posteriors "$ROOT/build-train/tools/posteriors/vx-posteriors" \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9fs.dat" --features "$FEATURES/16k/$UTTERANCE" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9bs.dat" --features "$FEATURES/16k/$UTTERANCE" --backward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9fs.dat" --features "$FEATURES/8k/$UTTERANCE" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9bs.dat" --features "$FEATURES/8k/$UTTERANCE" --backward
