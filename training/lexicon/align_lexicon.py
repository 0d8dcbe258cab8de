#!/usr/bin/python3
"""Builds the shipped aligned lexicon (DtC6dl.dat) from the pronunciation dictionary.

    training/lexicon/align_lexicon.py [--dictionary FILE] [--out FILE] [--iterations N]

Every headword is split into letter units (maximal runs of one repeated letter, as the engine
splits them); each unit sounds as zero, one or two phones. p(group | unit) is learnt by EM with
forward-backward over all monotone alignments, then every word is written with its Viterbi
alignment. Words with more phones than two per unit cannot be aligned and are left out.
Deterministic; numpy does the dynamic programming, batched over words of one shape.
"""
import argparse
import collections
import os
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from make_test_dictionary import decode, encode_lines, letter_runs, line_key  # noqa: E402
sys.path.insert(0, HERE)
from build_dictionary import NOTICES  # noqa: E402

DICTIONARY = os.path.join(ROOT, "data", "KvParlo", "Data", "DtC6dal.dat")
OUTPUT = os.path.join(ROOT, "data", "KvParlo", "Data", "DtC6dl.dat")

PHONE_NAMES = sorted(
    "aa ae ah ao aw ax ay b ch d dh eh er ey f g hh ih iy jh k l m n ng ow oy p r s sh t th "
    "uh uw v w y z zh sil".split())
PHONE_ID = {p: i for i, p in enumerate(PHONE_NAMES)}
NP = len(PHONE_NAMES)
# Group ids: 0 the empty group, 1 + p a single phone, 1 + NP + p * NP + q a pair.
NG = 1 + NP + NP * NP
NEG = -1e30
# A pair group keeps its probability only when the unit takes it at least this often (expected
# count): rare pairs are mostly the EM's way of swallowing a neighbour's phone.
MIN_PAIR_COUNT = 5.0
DEFAULT_ITERATIONS = 8
# Log-odds against a silent unit and against a pair in the first iteration (natural log).
INITIAL_EMPTY_COST = 1.0
INITIAL_PAIR_COST = 2.0


def group_name(g):
    if g == 0:
        return ""
    if g <= NP:
        return PHONE_NAMES[g - 1]
    g -= 1 + NP
    return PHONE_NAMES[g // NP] + " " + PHONE_NAMES[g % NP]


def read_dictionary(path, primary_only):
    """(headword, phones) in file order: every pronunciation, or each word's first."""
    with open(path, "rb") as f:
        text = decode(f.read()).decode("latin-1")
    entries, seen = [], set()
    for line in text.split("\n"):
        if not line or (line[0] == "#" and (len(line) == 1 or line[1] in "# \t")):
            continue
        head, *phones = line.split()
        word = head
        if head.endswith(")") and "(" in head:
            word = head[:head.rindex("(")]
        if primary_only and word in seen:
            continue
        seen.add(word)
        entries.append((word, phones))
    return entries


class Aligner:
    """EM over letter units and phone groups, batched by (units, phones) shape."""

    def __init__(self, entries, apostrophes=True, min_pair_count=MIN_PAIR_COUNT):
        self.min_pair_count = min_pair_count
        self.units = {}
        self.words = []  # (headword, unit ids, phone ids)
        self.unalignable = []
        for word, phones in entries:
            if not apostrophes and "'" in word:
                continue
            runs = letter_runs(word)
            if len(phones) > 2 * len(runs):
                self.unalignable.append(word)
                continue
            ids = [self.units.setdefault(r, len(self.units)) for r in runs]
            self.words.append((word, ids, [PHONE_ID[p] for p in phones]))
        self.unit_names = sorted(self.units, key=self.units.get)
        shapes = collections.defaultdict(list)
        for k, (_, u, p) in enumerate(self.words):
            shapes[(len(u), len(p))].append(k)
        self.batches = []
        for (n, m), members in sorted(shapes.items()):
            U = np.array([self.words[k][1] for k in members], dtype=np.int64).reshape(-1, n)
            P = np.array([self.words[k][2] for k in members], dtype=np.int64).reshape(-1, m)
            self.batches.append((n, m, members, U, self.group_ids(P, m)))
        # Start from uniform odds within each kind of group, a pair or a silent unit costing
        # more than a single phone: the first counts then favour one phone per unit.
        self.logp = np.zeros((len(self.units), NG))
        self.logp[:, 0] = -INITIAL_EMPTY_COST
        self.logp[:, 1 + NP:] = -INITIAL_PAIR_COST
        self.logp -= np.logaddexp.reduce(self.logp, axis=1, keepdims=True)
        self.allowed_pairs = np.ones((len(self.units), NG), dtype=bool)

    @staticmethod
    def group_ids(P, m):
        """G[k][:, j]: the group of k phones starting at phone j (column m - k + 1.. unused)."""
        B = P.shape[0]
        g0 = np.zeros((B, m + 1), dtype=np.int64)
        g1 = np.zeros((B, m + 1), dtype=np.int64)
        g2 = np.zeros((B, m + 1), dtype=np.int64)
        if m >= 1:
            g1[:, :m] = 1 + P
        if m >= 2:
            g2[:, :m - 1] = 1 + NP + P[:, :-1] * NP + P[:, 1:]
        return g0, g1, g2

    def edge_scores(self, n, m, U, G):
        """S[k][:, i, j]: log p of unit i taking the k phones that start at phone j."""
        S = []
        for k in range(3):
            s = self.logp[U[:, :, None], G[k][:, None, :]]  # (B, n, m + 1)
            if k:
                s[:, :, m - k + 1:] = NEG
            S.append(s)
        return S

    def forward(self, n, m, S, combine):
        B = S[0].shape[0]
        A = np.full((B, n + 1, m + 1), NEG)
        A[:, 0, 0] = 0.0
        back = np.zeros((B, n + 1, m + 1), dtype=np.int8)
        for i in range(1, n + 1):
            cands = np.full((3, B, m + 1), NEG)
            for k in range(3):
                # Ending at phone j after taking k phones starting at j - k.
                cands[k, :, k:] = A[:, i - 1, :m + 1 - k] + S[k][:, i - 1, :m + 1 - k]
            if combine:
                A[:, i] = np.logaddexp.reduce(cands, axis=0)
            else:
                back[:, i] = np.argmax(cands, axis=0)
                A[:, i] = np.max(cands, axis=0)
        return A, back

    def backward(self, n, m, S):
        B = S[0].shape[0]
        Bt = np.full((B, n + 1, m + 1), NEG)
        Bt[:, n, m] = 0.0
        for i in range(n - 1, -1, -1):
            cands = np.full((3, B, m + 1), NEG)
            for k in range(3):
                cands[k, :, :m + 1 - k] = S[k][:, i, :m + 1 - k] + Bt[:, i + 1, k:]
            Bt[:, i] = np.logaddexp.reduce(cands, axis=0)
        return Bt

    def expectation(self):
        counts = np.zeros((len(self.units), NG))
        total = 0.0
        for n, m, _, U, G in self.batches:
            S = self.edge_scores(n, m, U, G)
            A, _ = self.forward(n, m, S, True)
            Bt = self.backward(n, m, S)
            Z = A[:, n, m]
            ok = Z > NEG / 2
            total += float(Z[ok].sum())
            # A word without any alignment has nothing to share out (its scores stay ~NEG).
            Z = np.where(ok, Z, 0.0)
            for k in range(3):
                # Unit i takes phones j .. j + k - 1.
                post = A[:, :n, :m + 1 - k] + S[k][:, :, :m + 1 - k] + Bt[:, 1:, k:]
                post = np.exp(post - Z[:, None, None])
                cell = U[:, :, None] * NG + G[k][:, None, :m + 1 - k]
                counts += np.bincount(cell.ravel(), post.ravel(), counts.size).reshape(
                    counts.shape)
        return counts, total

    def maximise(self, counts, restrict):
        if restrict:
            pairs = np.zeros(NG, dtype=bool)
            pairs[1 + NP:] = True
            self.allowed_pairs = ~pairs[None, :] | (counts >= self.min_pair_count)
        counts = np.where(self.allowed_pairs, counts, 0.0)
        sums = counts.sum(axis=1, keepdims=True)
        with np.errstate(divide="ignore", invalid="ignore"):
            p = np.where(sums > 0, counts / np.maximum(sums, 1e-300), 0.0)
            self.logp = np.where(p > 0, np.log(np.maximum(p, 1e-300)), NEG)

    def train(self, iterations, log=print):
        for it in range(iterations):
            t = time.time()
            counts, total = self.expectation()
            self.maximise(counts, restrict=it >= 1)
            log("iteration %d: log-likelihood %.1f (%.1f s)" % (it + 1, total, time.time() - t))

    def viterbi(self):
        """(headword, groups) per alignable word in input order; None for a word the pair
        restriction leaves without any alignment."""
        out = [None] * len(self.words)
        for n, m, members, U, G in self.batches:
            S = self.edge_scores(n, m, U, G)
            A, back = self.forward(n, m, S, False)
            for b, k_word in enumerate(members):
                if A[b, n, m] <= NEG / 2:
                    continue
                groups, j = [], m
                for i in range(n, 0, -1):
                    k = int(back[b, i, j])
                    groups.append(group_name(int(G[k][b, j - k])))
                    j -= k
                groups.reverse()
                out[k_word] = (self.words[k_word][0], groups)
        return out


def lexicon_line(word, groups):
    return " ".join([word] + " | ".join(groups).split())


def align(entries, iterations, apostrophes=True, min_pair_count=MIN_PAIR_COUNT, log=print):
    aligner = Aligner(entries, apostrophes, min_pair_count)
    aligner.train(iterations, log)
    aligned = aligner.viterbi()
    lines = [lexicon_line(w, g) for w, g in (a for a in aligned if a)]
    unaligned = aligner.unalignable + [aligner.words[k][0] for k, a in enumerate(aligned) if not a]
    return lines, unaligned


# Derived from the dictionary: its sources' notices go along.
HEADER = [
    "# Voxtrail aligned lexicon: HEADWORD, then one phone group per letter run, '|' between.",
    "# Aligned by training/lexicon/align_lexicon.py from DtC6dal.dat, which was built from:",
] + NOTICES.split("\n")


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--dictionary", default=DICTIONARY)
    ap.add_argument("--out", default=OUTPUT)
    ap.add_argument("--iterations", type=int, default=DEFAULT_ITERATIONS)
    ap.add_argument("--all-pronunciations", action="store_true",
                    help="align every pronunciation, not only each word's first")
    ap.add_argument("--no-apostrophes", action="store_true",
                    help="leave out headwords with an apostrophe")
    ap.add_argument("--min-pair-count", type=float, default=MIN_PAIR_COUNT,
                    help="expected count below which a unit loses a two-phone group")
    args = ap.parse_args(argv[1:])
    start = time.time()
    entries = read_dictionary(args.dictionary, not args.all_pronunciations)
    lines, unaligned = align(entries, args.iterations, not args.no_apostrophes,
                             args.min_pair_count)
    with open(args.out, "wb") as f:
        f.write(encode_lines(HEADER + lines, line_key()))
    print("entries: %d, aligned: %d, left out: %d (%s ...)" %
          (len(entries), len(lines), len(unaligned), " ".join(unaligned[:8])))
    print("wrote %s (%d bytes) in %.1f s" % (args.out, os.path.getsize(args.out),
                                             time.time() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
