"""Labelled utterances and the batches the trainer and the evaluator read."""
import os

import numpy as np
import torch

import augment
import common
import model


class Utterance:
    __slots__ = ("corpus", "id", "features", "targets")

    def __init__(self, corpus, utt_id, features, targets):
        self.corpus = corpus
        self.id = utt_id
        self.features = features
        self.targets = targets


# Corpora trained on the transcript alignment's labels even though they have labels of their own.
ALIGNED = set()


def label_file(corpus, row):
    """The corpus's own phone labels, or those the transcript alignment wrote to the cache."""
    if row.get("lab") and corpus not in ALIGNED:
        return os.path.join(common.CORPUS, corpus, row["lab"])
    return os.path.join(common.LABELS, corpus, row["id"] + ".lab")


def load_labelled(corpus, rate, part):
    """Utterances of a corpus with frame targets; part is "train" or "dev". Utterances
    without labels (not aligned) are left out. "CORPUS@augK" is augmented copy K of the
    corpus's training utterances (augment.py): its labels are the original ones with their
    times scaled as the copy's speed change requires; it has no development part."""
    base, _, variant = corpus.partition("@")
    train, dev = common.split(common.read_manifest(base))
    rows = train if part == "train" else dev
    scales = None
    if variant:
        rows = rows if part == "train" else []
        scales = augment.read_scales(corpus)
        if not scales and rows:
            raise FileNotFoundError("%s: run augment.py first" % corpus)
    out = []
    for row in rows:
        scale = 1.0
        if scales is not None:
            if row["id"] not in scales:
                continue
            scale = scales[row["id"]]
        path = common.feature_path(rate, corpus, row["id"])
        if not os.path.exists(path):
            raise FileNotFoundError("%s: run the feature stage first" % path)
        lab = label_file(base, row)
        if not os.path.exists(lab):
            continue
        _, _, feats = common.read_features(path)
        segments = [(s * scale, e * scale, c) for s, e, c in common.read_lab(lab)]
        if not segments:
            continue
        out.append(Utterance(corpus, row["id"], feats, common.frame_targets(segments, len(feats))))
    return out


def step_sequence(utt, direction):
    """(inputs, targets) over the runtime's steps: targets are -1 where no row is emitted."""
    x = model.step_inputs(utt.features, direction)
    y = utt.targets[::-1] if direction == "backward" else utt.targets
    lead = np.full(common.WARM_UP + common.DELAY, -1, dtype=np.int64)
    return x, np.concatenate([lead, y]).astype(np.int64)


def batches(utterances, direction, batch_size, rng=None):
    """Lists of utterances of similar length, padded into (x, y) tensors (B, L, 13), (B, L).

    With rng the order is shuffled (lengths sorted with jitter, then the batches shuffled)."""
    lengths = np.array([len(u.features) for u in utterances], dtype=np.float64)
    if rng is not None:
        lengths = lengths * rng.uniform(0.85, 1.15, size=len(lengths))
    order = np.argsort(lengths, kind="stable")
    groups = [order[i:i + batch_size] for i in range(0, len(order), batch_size)]
    if rng is not None:
        rng.shuffle(groups)
    for group in groups:
        seqs = [step_sequence(utterances[i], direction) for i in group]
        longest = max(len(x) for x, _ in seqs)
        x = np.zeros((len(seqs), longest, common.FEATURES), dtype=np.float32)
        y = np.full((len(seqs), longest), -1, dtype=np.int64)
        for b, (xs, ys) in enumerate(seqs):
            x[b, :len(xs)] = xs
            y[b, :len(ys)] = ys
        yield [utterances[i] for i in group], torch.from_numpy(x), torch.from_numpy(y)


def dev_posteriors(net, utterances, direction, batch_size=64):
    """Posteriors (F, K) per utterance in forward frame order, keyed by utterance index.

    Padding follows each sequence, so the batched run gives every utterance what a run on its
    own gives."""
    net.eval()
    index = {id(u): i for i, u in enumerate(utterances)}
    out = [None] * len(utterances)
    lead = common.WARM_UP + common.DELAY
    with torch.no_grad():
        for group, x, _ in batches(utterances, direction, batch_size):
            logits, _ = net(x, net.initial(x.shape[0]))
            p = torch.softmax(logits, dim=2).numpy()
            for b, u in enumerate(group):
                rows = p[b, lead:lead + len(u.features)]
                out[index[id(u)]] = rows[::-1].copy() if direction == "backward" else rows
    return out
