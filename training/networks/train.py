"""Trains one phoneme network (one rate, one direction, one state size) with truncated BPTT.

Batches of parallel utterances of similar length are cut into chunks of --chunk steps; the
state is carried from chunk to chunk (not differentiated across the cut). Adam, cross-entropy
on every step that emits a row. The rate halves when the development loss does not
improve, and shrinks every epoch over the last third. A checkpoint is written after every epoch and an interrupted
run resumes from it; the network with the best development accuracy is exported as best.dat.
"""
import argparse
import json
import os
import sys
import time

import numpy as np
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import dataset  # noqa: E402
import model  # noqa: E402


def run_dir(name):
    return os.path.join(common.WORK, "runs", name)


def frame_accuracy(posteriors, utterances):
    right = sum(int((p.argmax(axis=1) == u.targets).sum()) for p, u in zip(posteriors, utterances))
    return right / sum(len(u.targets) for u in utterances)


def dev_loss(posteriors, utterances):
    total = sum(float(-np.log(np.maximum(p[np.arange(len(u.targets)), u.targets], 1e-30)).sum())
                for p, u in zip(posteriors, utterances))
    return total / sum(len(u.targets) for u in utterances)


def draw_epoch(train, shares, rng):
    """The utterances of one epoch: a corpus with share s contributes each utterance floor(s)
    times and once more with probability s - floor(s)."""
    out = []
    for u in train:
        share = shares.get(u.corpus, 1.0)
        whole = int(share)
        out += [u] * (whole + (rng.random() < share - whole))
    return out


def boundary_weights(y, factor):
    """Per-step loss weights: factor on the frames either side of a label change, 1 elsewhere,
    0 where no row is emitted."""
    valid = y >= 0
    change = torch.zeros_like(valid)
    step = (y[:, 1:] != y[:, :-1]) & valid[:, 1:] & valid[:, :-1]
    change[:, 1:] |= step
    change[:, :-1] |= step
    return valid.float() * (1.0 + (factor - 1.0) * change.float())


def train_epoch(net, optimiser, data, args, rng):
    net.train()
    total, count = 0.0, 0
    for _, x, y in dataset.batches(data, args.direction, args.batch, rng):
        h = net.initial(x.shape[0])
        weight = boundary_weights(y, args.boundary_weight) if args.boundary_weight != 1 else None
        for start in range(0, x.shape[1], args.chunk):
            xc, yc = x[:, start:start + args.chunk], y[:, start:start + args.chunk]
            logits, h = net(xc, h)
            h = h.detach()
            valid = int((yc >= 0).sum())
            if valid == 0:
                continue
            if weight is None:
                loss = torch.nn.functional.cross_entropy(
                    logits.reshape(-1, net.classes), yc.reshape(-1), ignore_index=-1)
            else:
                wc = weight[:, start:start + args.chunk].reshape(-1)
                each = torch.nn.functional.cross_entropy(
                    logits.reshape(-1, net.classes), yc.reshape(-1), ignore_index=-1,
                    reduction="none")
                loss = (each * wc).sum() / wc.sum()
            optimiser.zero_grad()
            loss.backward()
            torch.nn.utils.clip_grad_norm_(net.parameters(), args.clip)
            optimiser.step()
            total += float(loss) * valid
            count += valid
    return total / max(count, 1), count


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--rate", type=int, choices=common.RATES, required=True)
    parser.add_argument("--direction", choices=("forward", "backward"), required=True)
    parser.add_argument("--state", type=int, default=common.STATE)
    parser.add_argument("--epochs", type=int, default=20)
    parser.add_argument("--batch", type=int, default=32)
    parser.add_argument("--chunk", type=int, default=100)
    parser.add_argument("--lr", type=float, default=2e-3)
    parser.add_argument("--clip", type=float, default=5.0)
    parser.add_argument("--decay-after", type=int,
                        help="epochs at full rate before it shrinks by --decay per epoch "
                             "(default two thirds of --epochs)")
    parser.add_argument("--decay", type=float, default=0.6)
    parser.add_argument("--corpora", nargs="+", default=["fraser"],
                        help="phone-labelled corpora to train on")
    parser.add_argument("--share", nargs="*", default=[], metavar="CORPUS=FRACTION",
                        help="weight of a corpus in each epoch: a fraction draws that share of "
                             "its utterances at random (keywords=0.3, so its few words do not "
                             "dominate), 2 takes each twice")
    parser.add_argument("--dev-corpora", nargs="+", default=["fraser"],
                        help="corpora whose development split picks the best epoch")
    parser.add_argument("--init", metavar="WEIGHTS",
                        help="start from a weight file (fine-tuning) instead of random weights; a "
                             "network with fewer state units is widened to --state")
    parser.add_argument("--boundary-weight", type=float, default=1.0,
                        help="loss weight of the frames beside a label change")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--name", help="run name (default RATE_DIRECTION_sSTATE)")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--labels", default=common.LABELS,
                        help="folder of the transcript-only corpora's aligned labels")
    parser.add_argument("--aligned-labels", nargs="*", default=[], metavar="CORPUS",
                        help="corpora to train on the aligned labels in --labels instead of "
                             "their own (fraser realigned with our dictionary)")
    args = parser.parse_args(argv)
    common.LABELS = os.path.abspath(args.labels)
    dataset.ALIGNED.update(args.aligned_labels)
    torch.set_num_threads(args.threads)
    name = args.name or "%s_%s_s%d" % (common.rate_tag(args.rate), args.direction, args.state)
    folder = run_dir(name)
    os.makedirs(folder, exist_ok=True)
    checkpoint = os.path.join(folder, "last.pt")

    train, dev = [], []
    for corpus in args.corpora:
        train += dataset.load_labelled(corpus, args.rate, "train")
    for corpus in args.dev_corpora:
        dev += dataset.load_labelled(corpus, args.rate, "dev")
    shares = {k: float(v) for k, v in (item.split("=", 1) for item in args.share)}
    print("%s: %d training utterances (%d frames), %d development (%d frames)" % (
        name, len(train), sum(len(u.targets) for u in train), len(dev),
        sum(len(u.targets) for u in dev)), flush=True)

    torch.manual_seed(args.seed)
    if args.init:
        net = model.ExactNetwork.from_layout(common.read_weight_file(args.init))
        if net.state < args.state and net.extra_hidden is None:
            net = net.widened(args.state)
        if net.state != args.state or net.extra_hidden is not None:
            sys.exit("%s: not a network of %d state units or fewer" % (args.init, args.state))
    else:
        net = model.ExactNetwork(args.state)
    optimiser = torch.optim.Adam(net.parameters(), lr=args.lr)
    state = dict(epoch=0, lr=args.lr, best_loss=float("inf"), best_accuracy=0.0, history=[],
                 settings=vars(args))
    rng = np.random.default_rng(args.seed)
    if os.path.exists(checkpoint):
        saved = torch.load(checkpoint)
        if saved["state"]["settings"]["state"] != args.state:
            sys.exit("%s holds a network of another state size" % checkpoint)
        net.load_state_dict(saved["model"])
        optimiser.load_state_dict(saved["optimiser"])
        state = saved["state"]
        rng.bit_generator.state = saved["rng"]
        torch.set_rng_state(saved["torch_rng"])
        print("%s: resumed after epoch %d" % (name, state["epoch"]), flush=True)

    while state["epoch"] < args.epochs:
        for group in optimiser.param_groups:
            group["lr"] = state["lr"]
        began = time.time()
        epoch_data = draw_epoch(train, shares, rng)
        train_loss, frames = train_epoch(net, optimiser, epoch_data, args, rng)
        seconds = time.time() - began
        post = dataset.dev_posteriors(net, dev, args.direction)
        loss, accuracy = dev_loss(post, dev), frame_accuracy(post, dev)
        state["epoch"] += 1
        record = dict(epoch=state["epoch"], lr=state["lr"], train_loss=train_loss,
                      dev_loss=loss, dev_accuracy=accuracy, seconds=seconds,
                      frames_per_second=frames / seconds)
        state["history"].append(record)
        print("%s epoch %d: lr %.2g train %.4f dev %.4f acc %.4f (%.0f s, %.0f frames/s)" % (
            name, state["epoch"], state["lr"], train_loss, loss, accuracy, seconds,
            frames / seconds), flush=True)
        if loss < state["best_loss"]:
            state["best_loss"], state["best_accuracy"] = loss, accuracy
            with open(os.path.join(folder, "best.dat.part"), "wb") as f:
                f.write(net.to_bytes())
            os.replace(os.path.join(folder, "best.dat.part"), os.path.join(folder, "best.dat"))
        else:
            state["lr"] *= 0.5
        decay_after = args.decay_after if args.decay_after is not None else args.epochs * 2 // 3
        if state["epoch"] >= decay_after:
            state["lr"] *= args.decay
        torch.save(dict(model=net.state_dict(), optimiser=optimiser.state_dict(), state=state,
                        rng=rng.bit_generator.state, torch_rng=torch.get_rng_state()),
                   checkpoint + ".part")
        os.replace(checkpoint + ".part", checkpoint)
        with open(os.path.join(folder, "history.json"), "w") as f:
            json.dump(state["history"], f, indent=1)
    print("%s: done, best dev loss %.4f accuracy %.4f" % (
        name, state["best_loss"], state["best_accuracy"]), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
