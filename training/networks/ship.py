"""Exports the best epoch of each trained network into the engine's data folder under the names
the engine's configuration gives them.

Prior correction (default on, exponent 1): the decoder divides a posterior by the class prior
of its model table, so the network's posterior must be relative to that prior, not to the
class frequencies of the training frames (fraser's are 42 % silence against the table's
11.6 %). Adding a * log(table prior / training frequency) to the weight from the constant unit
to each output (a softmax logit) turns p(c|x) ~ p(x|c) p_train(c) into p(x|c) p_train(c)^(1-a)
table(c)^a; with a = 1 the decoder's division leaves the plain scaled likelihood p(x|c) / p(x).
The training frequencies are counted over the targets the run trained on (its corpora, each
weighted by its share), and written next to the run as train_priors.json.

Sharpening (default 3): the output logits are scaled (posteriors raised to a power and
renormalised), which weighs the acoustic scores more against the decoder's fixed transition
costs; with the trained posteriors as they are, the free phoneme loop emits too few phones.
Applied before the prior correction.

Usage: ship.py [--state 512] [--data DIR] [--prior-correction A] [--sharpen F] [--rates 16000 8000]
               [--suffix RATE=SUFFIX ...]   (e.g. 16000=_all ships runs/16k_*_s512_all)"""
import argparse
import json
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def run_settings(folder):
    """The training settings of a run (corpora, shares) from its checkpoint."""
    import torch
    saved = torch.load(os.path.join(folder, "last.pt"))
    return saved["state"]["settings"]


def training_frequencies(rate, corpora, shares):
    """Share of each class over the training split's frame targets, corpus counts weighted by
    the fraction of the corpus an epoch draws."""
    import dataset
    counts = np.zeros(len(common.CLASSES), dtype=np.float64)
    for corpus in corpora:
        part = np.zeros_like(counts)
        for utt in dataset.load_labelled(corpus, rate, "train"):
            part += np.bincount(utt.targets, minlength=len(common.CLASSES))
        counts += part * shares.get(corpus, 1.0)
    return counts / counts.sum()


def run_frequencies(folder, rate):
    """Training class frequencies of a run, cached in the run folder for its corpora and
    shares."""
    settings = run_settings(folder)
    corpora = list(settings.get("corpora") or ["fraser"])
    share = list(settings.get("share") or [])
    cache = os.path.join(folder, "train_priors.json")
    if os.path.exists(cache):
        with open(cache) as f:
            saved = json.load(f)
        if saved.get("corpora") == corpora and saved.get("share") == share:
            return np.array([saved["frequencies"][c] for c in common.CLASSES])
    shares = {k: float(v) for k, v in (s.split("=", 1) for s in share)}
    common.LABELS = settings.get("labels", common.LABELS)
    import dataset
    dataset.ALIGNED.update(settings.get("aligned_labels") or [])
    freq = training_frequencies(rate, corpora, shares)
    with open(cache + ".part", "w") as f:
        json.dump(dict(corpora=corpora, share=share,
                       frequencies={c: float(p) for c, p in zip(common.CLASSES, freq)}), f,
                  indent=1)
    os.replace(cache + ".part", cache)
    return freq


def sharpened(data, scale):
    """Weight-file bytes with every weight into an output (the softmax logits) scaled."""
    lay = common.unpack_weight_file(data)
    weights = lay["weights"].copy()
    weights[lay["o0"] - lay["c0"]:] *= np.float32(scale)
    return common.pack_weight_file(lay["state"], lay["i0"], lay["i1"], lay["c0"], lay["o0"],
                                   lay["initial"], weights)


def corrected(data, frequencies, exponent):
    """Weight-file bytes with a * log(table / frequency) added to each output's bias weight."""
    lay = common.unpack_weight_file(data)
    c0, o0, i0 = lay["c0"], lay["o0"], lay["i0"]
    if i0 < 1 or lay["initial"][0] == 0.0:
        raise ValueError("the network has no constant unit to carry the correction")
    # A class never seen in training keeps its weights (its logit is meaningless either way).
    ratio = np.where(frequencies > 0, common.TABLE_PRIORS / np.maximum(frequencies, 1e-12), 1.0)
    weights = lay["weights"].copy()
    weights[o0 - c0:, 0] += (exponent * np.log(ratio) / lay["initial"][0]).astype(np.float32)
    return common.pack_weight_file(lay["state"], i0, lay["i1"], c0, o0, lay["initial"], weights)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--state", type=int, default=common.STATE)
    parser.add_argument("--data", default=common.DATA_DIR)
    parser.add_argument("--prior-correction", type=float, default=0.25, metavar="A",
                        help="exponent of the prior ratio added to the output biases "
                             "(0: ship the trained weights unchanged)")
    parser.add_argument("--sharpen", type=float, default=3.0, metavar="F",
                        help="factor on the output logits (posteriors to the power F, "
                             "renormalised; 1: unchanged)")
    parser.add_argument("--rates", nargs="+", type=int, default=list(common.RATES))
    parser.add_argument("--suffix", nargs="*", default=[], metavar="RATE=SUFFIX",
                        help="run-name suffix per rate (e.g. 16000=_all)")
    args = parser.parse_args(argv)
    suffixes = {int(k): v for k, v in (s.split("=", 1) for s in args.suffix)}
    os.makedirs(args.data, exist_ok=True)
    for (rate, direction), name in sorted(common.NETWORK_FILES.items()):
        if rate not in args.rates:
            continue
        run = "%s_%s_s%d%s" % (common.rate_tag(rate), direction, args.state,
                               suffixes.get(rate, ""))
        folder = os.path.join(common.WORK, "runs", run)
        source = os.path.join(folder, "best.dat")
        if not os.path.exists(source):
            sys.exit("%s: not trained yet" % source)
        with open(source, "rb") as f:
            data = f.read()
        common.unpack_weight_file(data)  # refuse a damaged file
        note = ""
        if args.sharpen != 1.0:
            data = sharpened(data, args.sharpen)
            note += " (logits x %.2f)" % args.sharpen
        if args.prior_correction != 0.0:
            freq = run_frequencies(folder, rate)
            data = corrected(data, freq, args.prior_correction)
            note += " (prior correction %.2f; training silence share %.3f)" % (
                args.prior_correction, freq[0])
        target = os.path.join(args.data, name)
        with open(target + ".part", "wb") as f:
            f.write(data)
        os.replace(target + ".part", target)
        print("%s <- %s%s" % (name, source, note))
    return 0


if __name__ == "__main__":
    sys.exit(main())
