#!/usr/bin/python3
"""Measures the engine's letter-to-sound accuracy on dictionary words held out of the lexicon.

    training/lexicon/evaluate_lts.py [--tool vx-pronounce] [--every 20] [aligner options]

Every 20th word of the dictionary (in its byte order) is held out; the others are aligned as
align_lexicon.py aligns them, into a temporary lexicon, and the engine's own letter-to-sound code
(tools/pronounce, vx-pronounce) predicts the held-out words from it. Word accuracy counts a
prediction equal to the word's first pronunciation (and, separately, to any of them); the phone
error rate is the edit distance to the first pronunciation over its length.
"""
import argparse
import collections
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import align_lexicon as al  # noqa: E402

TOOL = os.path.join(al.ROOT, "build-lex", "tools", "pronounce", "vx-pronounce")


def edit_distance(a, b):
    row = list(range(len(b) + 1))
    for i, x in enumerate(a, 1):
        prev, row[0] = row[0], i
        for j, y in enumerate(b, 1):
            prev, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, prev + (x != y))
    return row[len(b)]


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--dictionary", default=al.DICTIONARY)
    ap.add_argument("--tool", default=TOOL)
    ap.add_argument("--every", type=int, default=20)
    ap.add_argument("--iterations", type=int, default=al.DEFAULT_ITERATIONS)
    ap.add_argument("--all-pronunciations", action="store_true")
    ap.add_argument("--no-apostrophes", action="store_true")
    ap.add_argument("--min-pair-count", type=float, default=al.MIN_PAIR_COUNT)
    ap.add_argument("--keep", help="also write the measurement lexicon here")
    args = ap.parse_args(argv[1:])

    every = al.read_dictionary(args.dictionary, primary_only=False)
    prons = collections.OrderedDict()
    for word, phones in every:
        prons.setdefault(word, []).append(" ".join(phones))
    words = list(prons)
    held = set(words[k] for k in range(args.every // 2, len(words), args.every))
    train = [(w, p) for w, p in every if w not in held]
    if not args.all_pronunciations:
        first = set()
        train = [(w, p) for w, p in train if not (w in first or first.add(w))]

    start = time.time()
    lines, unaligned = al.align(train, args.iterations, not args.no_apostrophes,
                                args.min_pair_count, log=lambda s: None)
    align_seconds = time.time() - start
    with tempfile.TemporaryDirectory() as tmp:
        path = args.keep or os.path.join(tmp, "measure.dat")
        with open(path, "wb") as f:
            f.write(al.encode_lines(al.HEADER + lines, al.line_key()))
        tested = [w for w in words if w in held]
        run = subprocess.run([args.tool, path], input="\n".join(tested) + "\n",
                             capture_output=True, text=True, check=True)
    predicted = {}
    for line in run.stdout.splitlines():
        word, _, phones = line.partition("\t")
        predicted[word] = phones

    def score(subset):
        first = anyp = errors = length = 0
        for w in subset:
            guess = predicted[w]
            first += guess == prons[w][0]
            anyp += guess in prons[w]
            ref = prons[w][0].split()
            errors += edit_distance(guess.split(), ref)
            length += len(ref)
        n = max(len(subset), 1)
        return len(subset), 100.0 * first / n, 100.0 * anyp / n, 100.0 * errors / max(length, 1)

    print("lexicon: %d entries aligned from %d (%d left out) in %.1f s; %s" %
          (len(lines), len(train), len(unaligned), align_seconds, run.stderr.strip()))
    for name, subset in (("all held-out words", tested),
                         ("letters only", [w for w in tested if "'" not in w]),
                         ("with apostrophe", [w for w in tested if "'" in w])):
        n, first, anyp, per = score(subset)
        print("%-20s %6d words: word accuracy %.1f%% (first pronunciation), %.1f%% (any); "
              "phone error rate %.1f%%" % (name, n, first, anyp, per))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
