"""The whole recognizer (features, both networks, decoder) on the development split of a
phone-labelled corpus, through vx-align:

- phone error rate of the free phoneme loop (Levenshtein edits over the reference phones, runs
  of one phone merged on both sides);
- boundary accuracy of the transcript alignment: the share of reference phone boundaries with
  an aligned boundary within 20 ms (and the converse share of aligned boundaries).

Corpora without phone labels of their own (cathy, ljspeech, keywords) are measured against the
labels align_corpus.py wrote: the phone error rate is then against the dictionary
pronunciations of the transcript, and the boundaries are those of the networks that aligned
them (not an independent reference).

Usage: evaluate_decoder.py [--data DIR] [--rates 16000 8000] [--corpus fraser] [--json OUT]"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import dataset  # noqa: E402

ALIGN_TOOL = os.path.join(common.REPO, "build-train", "tools", "align", "vx-align")
TOLERANCE_MS = 20


def edit_distance(ref, hyp):
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i] + [0] * len(hyp)
        for j, h in enumerate(hyp, 1):
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h))
        previous = current
    return previous[-1]


def collapse(segments):
    """Segments (start_ms, end_ms, name) with runs of one name merged."""
    out = []
    for s, e, n in segments:
        if out and out[-1][2] == n:
            out[-1] = (out[-1][0], e, n)
        else:
            out.append((s, e, n))
    return out


def boundaries(segments):
    return np.array([e for _, e, _ in segments[:-1]], dtype=np.float64)


def within(a, b, tolerance):
    """Share of the points a that have a point of b within the tolerance."""
    if len(a) == 0:
        return 1.0
    if len(b) == 0:
        return 0.0
    b = np.sort(b)
    i = np.clip(np.searchsorted(b, a), 1, len(b) - 1)
    nearest = np.minimum(np.abs(b[i - 1] - a), np.abs(b[i] - a))
    return float((nearest <= tolerance).mean())


def run_align(data, items, to8k):
    """{sound: [(start, end, phoneme)]} from vx-align --list over (sound, transcript) items."""
    with tempfile.NamedTemporaryFile("w", suffix=".tsv", delete=False) as f:
        for sound, transcript in items:
            f.write("%s\t%s\n" % (sound, transcript.replace("\t", " ")))
        listing = f.name
    try:
        args = [ALIGN_TOOL, "--data", data, "--list", listing] + (["--to-8k"] if to8k else [])
        result = subprocess.run(args, capture_output=True, text=True)
    finally:
        os.unlink(listing)
    out, current = {}, None
    for line in result.stdout.splitlines():
        if line.startswith("# "):
            current = line[2:]
            out[current] = []
        elif line.startswith("P ") and current is not None:
            _, s, e, name = line.split()
            out[current].append((int(s), int(e), name))
    if result.returncode != 0:
        if not out:  # the tool could not start (missing data files, bad arguments)
            raise RuntimeError("vx-align failed: %s" % result.stderr.strip()[:500])
        sys.stderr.write(result.stderr)
    return out


def evaluate(data, rate, corpus):
    rows = common.read_manifest(corpus)
    # A corpus kept out of training (fraser) is measured whole.
    dev = common.split(rows)[1] or common.unseen(rows)
    wav_dir = os.path.join(common.WORK, "wav", corpus)
    os.makedirs(wav_dir, exist_ok=True)
    items, refs = [], {}
    for row in dev:
        wav = os.path.join(wav_dir, row["id"] + ".wav")
        if not os.path.exists(wav):
            subprocess.run(["sox", os.path.join(common.CORPUS, corpus, row["flac"]), "-b", "16",
                            wav], check=True)
        lab = dataset.label_file(corpus, row)
        if not os.path.exists(lab):
            continue
        segments = [(int(round(s * 1000)), int(round(e * 1000)), common.CLASSES[c])
                    for s, e, c in common.read_lab(lab)]
        if not segments:
            continue
        refs[wav] = collapse(segments)
        items.append((wav, row["transcript"]))
    to8k = rate == 8000
    free = run_align(data, [(w, "") for w, _ in items], to8k)
    aligned = run_align(data, items, to8k)
    edits = length = 0
    recall, precision = [], []
    for wav, _ in items:
        ref = refs[wav]
        hyp = collapse(free.get(wav, []))
        edits += edit_distance([n for _, _, n in ref], [n for _, _, n in hyp])
        length += len(ref)
        al = collapse(aligned.get(wav, []))
        recall.append((within(boundaries(ref), boundaries(al), TOLERANCE_MS), len(ref) - 1))
        precision.append((within(boundaries(al), boundaries(ref), TOLERANCE_MS), max(len(al) - 1, 0)))

    def weighted(pairs):
        total = sum(n for _, n in pairs)
        return sum(v * n for v, n in pairs) / total if total else 0.0
    return dict(rate=rate, corpus=corpus, utterances=len(items), reference_phones=length,
                free_loop_phone_error_rate=edits / length,
                aligned_boundaries_within_20ms=weighted(recall),
                aligned_boundary_precision_20ms=weighted(precision))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", default=common.DATA_DIR)
    parser.add_argument("--rates", nargs="+", type=int, default=list(common.RATES))
    parser.add_argument("--corpus", default="fraser")
    parser.add_argument("--json")
    args = parser.parse_args(argv)
    if not os.access(ALIGN_TOOL, os.X_OK):
        sys.exit("vx-align not found at %s (build it first)" % ALIGN_TOOL)
    results = []
    for rate in args.rates:
        r = evaluate(args.data, rate, args.corpus)
        results.append(r)
        print("%d Hz %s dev (%d utterances, %d phones): free-loop PER %.3f; transcript "
              "alignment: %.3f of reference boundaries within 20 ms (%.3f of aligned ones)" % (
                  rate, args.corpus, r["utterances"], r["reference_phones"],
                  r["free_loop_phone_error_rate"], r["aligned_boundaries_within_20ms"],
                  r["aligned_boundary_precision_20ms"]))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
