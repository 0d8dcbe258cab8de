"""Shared pieces of the network training pipeline: paths, the recognizer's class order, corpus
manifests and splits, feature files, phone labels and the engine's weight-file format."""
import os
import struct
import zlib

import numpy as np

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
CORPUS = os.environ.get("VOXTRAIL_CORPUS", os.path.join(REPO, "..", "shared", "corpus"))
WORK = os.environ.get("VOXTRAIL_TRAIN_DIR", os.path.join(REPO, "build-train", "cache"))
# Labels the transcript alignment wrote for the transcript-only corpora (train.py --labels and
# align_corpus.py --labels point elsewhere for an earlier round).
LABELS = os.path.join(WORK, "labels")
FEATURE_TOOL = os.environ.get(
    "VOXTRAIL_FEATURES", os.path.join(REPO, "build-train", "tools", "features", "vx-features"))
DATA_DIR = os.path.join(REPO, "data", "KvParlo", "Data")

# The decoder's model table order: class index = network output index.
CLASSES = ("sil aa ae ah ao aw ax ay b ch d dh eh er ey f g hh ih iy jh k l m n ng ow oy p r s "
           "sh t th uh uw v w y z zh").split()
CLASS_INDEX = {name: i for i, name in enumerate(CLASSES)}
# Priors of the decoder's model table, for comparison with the label statistics.
TABLE_PRIORS = np.array([
    0.116068, 0.025849, 0.028615, 0.017697, 0.021827, 0.011335, 0.045215, 0.028825, 0.015381,
    0.008457, 0.027261, 0.009052, 0.026979, 0.03553, 0.027128, 0.022436, 0.010043, 0.011005,
    0.028868, 0.042136, 0.006138, 0.041195, 0.034841, 0.022533, 0.038694, 0.008233, 0.019255,
    0.00507, 0.027922, 0.024841, 0.064473, 0.015336, 0.041914, 0.006709, 0.003453, 0.017276,
    0.011549, 0.014001, 0.006053, 0.02964, 0.001166])

FEATURES = 13
FRAME_S = 0.016
WARM_UP = 20  # steps on the first frame before any output
DELAY = 4     # steps between reading a frame and emitting its posteriors
STATE = 512   # state units of the shipped networks (the trainer's and exporter's default)
RATES = (16000, 8000)
CORPORA = ("fraser", "cathy", "ljspeech", "keywords", "speechocean", "an4", "arctic_extra")
NETWORK_FILES = {
    (16000, "forward"): "Wt16M9fs.dat", (16000, "backward"): "Wt16M9bs.dat",
    (8000, "forward"): "Wt8S9fs.dat", (8000, "backward"): "Wt8S9bs.dat",
}


def rate_tag(rate):
    return "16k" if rate == 16000 else "8k"


def read_manifest(corpus):
    """Rows of a corpus manifest as dicts, in file order, each with its corpus, flac path,
    transcript and speaker (the folders' manifests name the last three differently)."""
    path = os.path.join(corpus_folder(corpus), "manifest.tsv")
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    for row in rows:
        row["corpus"] = corpus
        row.setdefault("flac", "flac/%s.flac" % row["id"])
        row.setdefault("transcript", row.get("text", ""))
        # keywords has no speaker ids: every clip counts as its own voice.
        row.setdefault("speaker", corpus if corpus in SINGLE_SPEAKER else row["id"])
    return rows


SINGLE_SPEAKER = ("fraser", "cathy", "ljspeech")


def corpus_folder(corpus):
    """The recorded corpora are in CORPUS; the speech-free one quiet.py makes is in the cache."""
    return os.path.join(WORK, corpus) if corpus == "quiet" else os.path.join(CORPUS, corpus)


def is_unseen(row):
    """Whether an utterance belongs to the voices kept out of training for the unseen-speaker
    measurement: all of fraser (the one boundary reference no network or teacher made), an4's
    and arctic_extra's speakers, every fifth speechocean speaker and a fixed tenth of the
    keyword clips."""
    corpus = row["corpus"]
    if corpus == "fraser" and os.environ.get("VOXTRAIL_TRAIN_FRASER") == "1":
        return False  # for measuring what training on fraser's own labels adds
    if corpus in ("fraser", "an4", "arctic_extra"):
        return True
    if corpus == "speechocean":
        return int(row["speaker"]) % 5 == 0
    if corpus == "keywords":
        return zlib.crc32(row["id"].encode()) % 10 == 0
    return False


def unseen(rows):
    return [r for r in rows if is_unseen(r)]


def split(rows):
    """(train, dev) of the voices trained on: the last tenth of what a manifest keeps for
    training (whole utterances) is the development set for choosing epochs; the unseen
    voices are in neither."""
    rows = [r for r in rows if not is_unseen(r)]
    if not rows:
        return [], []
    cut = len(rows) - max(1, len(rows) // 10)
    return rows[:cut], rows[cut:]


def feature_path(rate, corpus, utt_id):
    return os.path.join(WORK, "features", rate_tag(rate), corpus, utt_id + ".vxfeat")


def read_features(path):
    """(rate, flags uint32[F], features float32[F, 13]) of a vx-features file."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 20 or data[:8] != b"VXFEAT1\0":
        raise ValueError("%s: not a feature file" % path)
    rate, count, dims = struct.unpack_from("<3I", data, 8)
    if dims != FEATURES or len(data) != 20 + count * 4 * (1 + dims):
        raise ValueError("%s: malformed feature file" % path)
    records = np.frombuffer(data, dtype="<u4", offset=20).reshape(count, 1 + dims)
    flags = records[:, 0].copy()
    feats = records[:, 1:].copy().view("<f4").astype(np.float32)
    return rate, flags, feats


def read_lab(path):
    """[(start s, end s, class index)] of a phone label file."""
    segments = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) < 3:
                continue
            if parts[2] not in CLASS_INDEX:
                raise ValueError("%s: unknown phone %r" % (path, parts[2]))
            segments.append((float(parts[0]), float(parts[1]), CLASS_INDEX[parts[2]]))
    return segments


def frame_targets(segments, frame_count):
    """Class of every frame: the segment holding the frame's centre, (i + 0.5) * 16 ms.

    Record i of a feature file is the analysis window centred on sample (i + 0.5) * shift (the
    framer primes half a window overlap and the front end's one-frame output delay is already
    taken off by the record numbering), so frame i covers [16 i, 16 (i + 1)) ms. Frames past the
    last label take the last segment's class (trailing silence)."""
    centres = (np.arange(frame_count) + 0.5) * FRAME_S
    starts = np.array([s for s, _, _ in segments])
    classes = np.array([c for _, _, c in segments], dtype=np.int64)
    index = np.searchsorted(starts, centres, side="right") - 1
    return classes[np.clip(index, 0, len(segments) - 1)]


# ---- weight files -------------------------------------------------------------------------

def pack_weight_file(state, first_input, input_end, first_computed, first_output, initial,
                     weights):
    """Bytes of a weight file: S, five unused words, i0, i1, a word the reader overwrites,
    c0, o0, U, U initial values, then the (U - c0) x c0 weights row-major."""
    initial = np.asarray(initial, dtype=np.float32)
    weights = np.asarray(weights, dtype=np.float32)
    units = initial.shape[0]
    if weights.shape != (units - first_computed, first_computed):
        raise ValueError("weights are %s, expected %s" %
                         (weights.shape, (units - first_computed, first_computed)))
    if state != first_computed - input_end:
        raise ValueError("state count must be c0 - i1")
    header = [state, 0, 0, 0, 0, 0, first_input, input_end, 0, first_computed,
              first_output, units]
    return (struct.pack(">12i", *header) + initial.astype(">f4").tobytes() +
            weights.astype(">f4").tobytes())


def unpack_weight_file(data):
    """Layout dict and arrays of a weight file's bytes (checked as the engine checks them)."""
    if len(data) < 48:
        raise ValueError("short weight file")
    words = struct.unpack(">12i", data[:48])
    layout = dict(state=words[0], i0=words[6], i1=words[7], c0=words[9], o0=words[10],
                  units=words[11])
    s, i0, i1, c0, o0, u = (layout[k] for k in ("state", "i0", "i1", "c0", "o0", "units"))
    if not (0 <= i0 < i1 <= c0 <= o0 < u) or i1 - i0 > FEATURES or s != c0 - i1 or s > u - c0:
        raise ValueError("inconsistent weight-file header %s" % (words,))
    count = u + (u - c0) * c0
    if len(data) < 48 + 4 * count:
        raise ValueError("short weight file")
    reals = np.frombuffer(data, dtype=">f4", count=count, offset=48).astype(np.float32)
    layout["initial"] = reals[:u].copy()
    layout["weights"] = reals[u:].reshape(u - c0, c0).copy()
    return layout


def read_weight_file(path):
    with open(path, "rb") as f:
        return unpack_weight_file(f.read())
