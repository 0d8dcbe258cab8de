"""Frame accuracy of weight files on the development split: each direction alone (argmax of
its posteriors) and merged as the engine merges them (quantised scores, geometric mean).

Usage: evaluate.py [--data DIR] [--rates 16000 8000] [--corpora fraser] [--json OUT]
The weight files are DIR/Wt16M9fs.dat and so on (default: the repository's data folder)."""
import argparse
import json
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def confusion_summary(predicted, truth, top=8):
    """The most frequent confusions as (truth, predicted, share of all frames)."""
    pairs = {}
    wrong = predicted != truth
    for t, p in zip(truth[wrong], predicted[wrong]):
        pairs[(t, p)] = pairs.get((t, p), 0) + 1
    total = len(truth)
    ranked = sorted(pairs.items(), key=lambda kv: -kv[1])[:top]
    return [(common.CLASSES[t], common.CLASSES[p], n / total) for (t, p), n in ranked]


def evaluate(forward_file, backward_file, rate, corpora):
    import torch
    import dataset
    import model
    dev = []
    for corpus in corpora:
        dev += dataset.load_labelled(corpus, rate, "dev")
    nets = {d: model.ExactNetwork.from_layout(common.read_weight_file(f))
            for d, f in (("forward", forward_file), ("backward", backward_file))}
    post = {d: dataset.dev_posteriors(nets[d], dev, d) for d in nets}
    truth = np.concatenate([u.targets for u in dev])
    result = dict(rate=rate, corpora=corpora, utterances=len(dev), frames=int(len(truth)))
    for d in nets:
        p = np.concatenate(post[d])
        result[d + "_accuracy"] = float((p.argmax(axis=1) == truth).mean())
        result[d + "_loss"] = float(-np.log(np.maximum(p[np.arange(len(truth)), truth],
                                                       1e-30)).mean())
    merged = model.merge(model.quantise(np.concatenate(post["forward"])),
                         model.quantise(np.concatenate(post["backward"])))
    # The lowest score wins; on equal scores the first class, as argmin gives.
    predicted = merged.argmin(axis=1)
    result["merged_accuracy"] = float((predicted == truth).mean())
    result["top_confusions"] = confusion_summary(predicted, truth)
    result["state"] = nets["forward"].state
    del torch
    return result


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", default=common.DATA_DIR)
    parser.add_argument("--rates", nargs="+", type=int, default=list(common.RATES))
    parser.add_argument("--corpora", nargs="+", default=["fraser"])
    parser.add_argument("--json")
    args = parser.parse_args(argv)
    import torch
    torch.set_num_threads(2)
    results = []
    for rate in args.rates:
        files = [os.path.join(args.data, common.NETWORK_FILES[(rate, d)])
                 for d in ("forward", "backward")]
        r = evaluate(files[0], files[1], rate, args.corpora)
        results.append(r)
        print("%d Hz, S=%d, %s dev (%d utterances, %d frames): forward %.4f, backward %.4f, "
              "merged %.4f" % (rate, r["state"], "+".join(args.corpora), r["utterances"],
                               r["frames"], r["forward_accuracy"], r["backward_accuracy"],
                               r["merged_accuracy"]))
        print("  most frequent confusions (truth>guess share): " + ", ".join(
            "%s>%s %.3f" % c for c in r["top_confusions"]))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
