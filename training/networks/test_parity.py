"""Parity of the trainer and the engine: the posteriors the PyTorch network computes for a
feature file must equal the engine's (vx-posteriors) within a tolerance.

Usage: test_parity.py --posteriors VX_POSTERIORS [--tolerance 1e-4]
                      (--weights FILE --features FILE [--backward])...   one or more cases
Exit codes: 0 all equal, 1 a difference, 77 PyTorch is not available (a skipped test)."""
import argparse
import os
import subprocess
import sys

SKIP = 77


def engine_rows(tool, weights, features, backward):
    args = [tool] + (["--backward"] if backward else []) + [weights, features]
    result = subprocess.run(args, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), result.returncode,
                                                   result.stderr.strip()))
    import numpy as np
    rows = [line.split()[1:] for line in result.stdout.splitlines() if line.strip()]
    return np.array(rows, dtype=np.float64)


def trainer_rows(weights, features, backward):
    """The trainer's posteriors in the order the engine emits its rows."""
    import numpy as np
    import torch
    import common
    import model
    net = model.ExactNetwork.from_layout(common.read_weight_file(weights))
    _, flags, feats = common.read_features(features)
    marked = np.nonzero(flags & 128)[0]
    if len(marked):
        feats = feats[:marked[0] + 1]
    x = model.step_inputs(feats, "backward" if backward else "forward")
    net.eval()
    with torch.no_grad():
        logits, _ = net(torch.from_numpy(x)[None], net.initial(1))
        p = torch.softmax(logits[0], dim=1).numpy()
    # Rows come from the steps after the delay; a sound shorter than the delay still gives
    # four rows, all from the flush steps.
    first = common.WARM_UP + min(common.DELAY, len(feats))
    return p[first:].astype(np.float64)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--posteriors", required=True, help="the vx-posteriors tool")
    parser.add_argument("--tolerance", type=float, default=1e-4)
    parser.add_argument("--weights", action="append", required=True)
    parser.add_argument("--features", action="append", required=True)
    parser.add_argument("--backward", action="append_const", const=True, dest="marks")
    parser.add_argument("--forward", action="append_const", const=False, dest="marks")
    args = parser.parse_args(argv)
    try:
        import numpy  # noqa: F401
        import torch
    except ImportError as error:
        print("SKIP: %s" % error)
        return SKIP
    torch.set_num_threads(1)
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    if len(args.weights) != len(args.features):
        parser.error("give --weights and --features once per case")
    directions = args.marks or [False]
    if len(directions) == 1:
        directions = directions * len(args.weights)
    if len(directions) != len(args.weights):
        parser.error("give --forward or --backward once per case, or once for all")
    failed = 0
    for weights, features, backward in zip(args.weights, args.features, directions):
        engine = engine_rows(args.posteriors, weights, features, backward)
        trainer = trainer_rows(weights, features, backward)
        label = "%s %s %s" % (os.path.join(os.path.basename(os.path.dirname(weights)),
                                           os.path.basename(weights)),
                              os.path.basename(features),
                              "backward" if backward else "forward")
        if engine.shape != trainer.shape:
            print("FAIL %s: engine rows %s, trainer rows %s" % (label, engine.shape,
                                                                 trainer.shape))
            failed += 1
            continue
        diff = float(abs(engine - trainer).max())
        ok = diff <= args.tolerance
        failed += not ok
        print("%s %s: %d rows x %d classes, max |difference| %.3g" % (
            "ok  " if ok else "FAIL", label, engine.shape[0], engine.shape[1], diff))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
