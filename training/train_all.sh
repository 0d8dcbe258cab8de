#!/usr/bin/env bash
# Rebuilds every shipped model: the dictionary and aligned lexicon from Debian's packages, then
# the recognizer's four phoneme networks from the speech corpus.
#
#   training/train_all.sh [STATE]        (STATE: state units per network, default 256)
#
# Environment: VOXTRAIL_TRAIN_DIR (cache folder, default build-train/cache), VOXTRAIL_CORPUS
# (default /work/shared/corpus), EPOCHS (default 15), PARALLEL (networks trained at once, each
# on 2/PARALLEL threads; default 2), FINETUNE_EPOCHS (default 0: when set, each network is then
# fine-tuned on all corpora from its fraser-only best, and those runs are shipped; the labels of
# the transcript-only corpora must be in the cache, see align_corpus.py). Every stage resumes
# where an interrupted run stopped.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PY=/usr/bin/python3
STATE=${1:-256}
EPOCHS=${EPOCHS:-15}
PARALLEL=${PARALLEL:-2}
FINETUNE_EPOCHS=${FINETUNE_EPOCHS:-0}
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

# 2. Features of every corpus utterance at 16 and 8 kHz (two processes).
$PY "$ROOT/training/networks/features.py" --jobs 2 2>&1 | tee "$LOGS/features.log"

# 3. The four networks; PARALLEL at a time, sharing two threads.
THREADS=$(( 2 / PARALLEL > 0 ? 2 / PARALLEL : 1 ))
run() {  # rate direction
  local name
  name=$( [ "$1" = 16000 ] && echo 16k || echo 8k )_$2_s$STATE
  $PY "$ROOT/training/networks/train.py" --rate "$1" --direction "$2" --state "$STATE" \
    --epochs "$EPOCHS" --threads "$THREADS" >>"$LOGS/$name.log" 2>&1
  tail -n 1 "$LOGS/$name.log"
}
jobs_list=("16000 forward" "16000 backward" "8000 forward" "8000 backward")
for ((i = 0; i < ${#jobs_list[@]}; i += PARALLEL)); do
  for ((j = i; j < i + PARALLEL && j < ${#jobs_list[@]}; ++j)); do
    run ${jobs_list[j]} &
  done
  wait
done

# 3b. Optional fine-tuning on all corpora (keywords limited to 0.3 of its clips an epoch).
SHIP_SUFFIX=()
if [ "$FINETUNE_EPOCHS" -gt 0 ]; then
  finetune() {  # rate direction
    local base
    base=$( [ "$1" = 16000 ] && echo 16k || echo 8k )_$2_s$STATE
    $PY "$ROOT/training/networks/train.py" --rate "$1" --direction "$2" --state "$STATE" \
      --epochs "$FINETUNE_EPOCHS" --lr 5e-4 --decay-after 1 --threads "$THREADS" \
      --corpora fraser cathy ljspeech keywords --share keywords=0.3 \
      --init "$VOXTRAIL_TRAIN_DIR/runs/$base/best.dat" --name "${base}_all" \
      >>"$LOGS/${base}_all.log" 2>&1
    tail -n 1 "$LOGS/${base}_all.log"
  }
  for ((i = 0; i < ${#jobs_list[@]}; i += PARALLEL)); do
    for ((j = i; j < i + PARALLEL && j < ${#jobs_list[@]}; ++j)); do
      finetune ${jobs_list[j]} &
    done
    wait
  done
  SHIP_SUFFIX=(--suffix 16000=_all 8000=_all)
fi

# 4. Ship the best epoch of each network (logits sharpened, priors partly corrected: see
# ship.py) and measure it.
$PY "$ROOT/training/networks/ship.py" --state "$STATE" "${SHIP_SUFFIX[@]}"
$PY "$ROOT/training/networks/evaluate.py" --json "$VOXTRAIL_TRAIN_DIR/evaluation_s$STATE.json" \
  | tee "$LOGS/evaluation_s$STATE.log"
$PY "$ROOT/training/networks/evaluate_decoder.py" \
  --json "$VOXTRAIL_TRAIN_DIR/evaluation_decoder_s$STATE.json" | tee "$LOGS/evaluation_decoder_s$STATE.log"
$PY "$ROOT/training/networks/test_parity.py" \
  --posteriors "$ROOT/build-train/tools/posteriors/vx-posteriors" \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9fs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/16k/fraser/arctic_b0300.vxfeat" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt16M9bs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/16k/fraser/arctic_b0300.vxfeat" --backward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9fs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/8k/fraser/arctic_b0300.vxfeat" --forward \
  --weights "$ROOT/data/KvParlo/Data/Wt8S9bs.dat" --features "$VOXTRAIL_TRAIN_DIR/features/8k/fraser/arctic_b0300.vxfeat" --backward
