#!/usr/bin/python3
"""Builds the shipped pronunciation dictionary (DtC6dal.dat) from two Debian packages.

    training/lexicon/build_dictionary.py [--festlex FILE] [--sphinx FILE] [--out FILE]
                                         [--without-sphinx-alternatives]

Sources: festlex-cmu's compiled CMU dictionary (cmudict-0.4.out), then pocketsphinx-en-us's
cmudict-en-us.dict for the words festlex lacks (contractions, possessives, newer words) and, as
alternatives after festlex's own, its pronunciations of festlex's words that festlex lacks.
Deterministic: the same packages give the same bytes.
"""
import argparse
import collections
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from make_test_dictionary import PHONES, encode_lines, line_key  # noqa: E402

FESTLEX = "/usr/share/festival/dicts/cmu/cmudict-0.4.out"
SPHINX = "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict"
OUTPUT = os.path.join(ROOT, "data", "KvParlo", "Data", "DtC6dal.dat")

VOWELS = frozenset("aa ae ah ao aw ax ay eh er ey ih iy ow oy uh uw".split())
# Festival's phone names that differ from ours; the rest are ours already.
FESTLEX_PHONES = {"pau": "sil", "h#": "sil", "#": "sil"}
# Sphinx writes ours in upper case; "sil" is its silence (not used in the word entries).
SPHINX_PHONES = {"sil": "sil"}

FESTLEX_ENTRY = re.compile(r'^\("((?:[^"\\]|\\.)*)" (\S+) (.*)\)$')
ALTERNATIVE = re.compile(r"\((\d+)\)$")

BREAKS = set('-.,;?!":()')


def clean_tokens(text):
    """The words the engine's transcript cleaning makes of a text."""
    out = []
    for c in text:
        if c in "\t\n":
            c = " "
        o = ord(c)
        if o >= 128 or o < 0x20 or o == 0x7F:
            continue
        if "a" <= c <= "z":
            out.append(c.upper())
        elif "A" <= c <= "Z" or c in "' ":
            out.append(c)
        elif c in BREAKS:
            out.append(" ")
    return [t for t in "".join(out).split(" ") if any("A" <= c <= "Z" for c in t)]


def reachable(headword):
    """The upper-case headword when cleaning keeps it as one word unchanged, else None."""
    tokens = clean_tokens(headword)
    upper = headword.upper()
    return upper if tokens == [upper] else None


def read_festlex(path, mapped):
    """Headword -> pronunciations in file order; stress and syllables dropped."""
    words = collections.OrderedDict()
    dropped = 0
    with open(path, encoding="latin-1") as f:
        for line in f:
            m = FESTLEX_ENTRY.match(line.rstrip("\n"))
            if not m:
                continue  # the "MNCL" header
            head = reachable(m.group(1))
            if head is None:
                dropped += 1
                continue
            phones = []
            for p in re.findall(r"[a-z#]+", m.group(3)):
                q = FESTLEX_PHONES.get(p, p)
                if q != p:
                    mapped[("festlex", p, q)] += 1
                if q not in PHONES:
                    raise SystemExit("festlex phone %r of %r has no counterpart" % (p, head))
                phones.append(q)
            if phones:
                words.setdefault(head, []).append(phones)
    return words, dropped


def read_sphinx(path):
    """Headword -> pronunciations (lower-case names, AH still undecided) in file order."""
    words = collections.OrderedDict()
    dropped = 0
    with open(path, encoding="latin-1") as f:
        for line in f:
            tokens = line.split()
            if len(tokens) < 2:
                continue
            head = reachable(ALTERNATIVE.sub("", tokens[0]))
            if head is None:
                dropped += 1
                continue
            words.setdefault(head, []).append([p.lower() for p in tokens[1:]])
    return words, dropped


def ah_features(phones, i):
    """Backoff chain of contexts deciding whether a Sphinx AH is reduced."""
    vowels = [k for k, p in enumerate(phones) if p in VOWELS]
    n, o = min(len(vowels), 4), vowels.index(i)
    first, last = o == 0, o == len(vowels) - 1
    prev = phones[i - 1] if i > 0 else "#"
    nxt = phones[i + 1] if i + 1 < len(phones) else "#"
    return [(n, first, last, prev, nxt), (n, first, last, nxt), (n, first, last), (min(n, 2),)]


def matches(sphinx, festlex):
    """Same phones, Sphinx AH standing for either ah or ax."""
    return len(sphinx) == len(festlex) and all(
        a == b or (a == "ah" and b in ("ah", "ax")) for a, b in zip(sphinx, festlex))


class ReducedVowelModel:
    """Sphinx (as Debian ships it) has no stress marks, so AH0 and AH1 look alike. Where a
    festlex word's pronunciation is a prefix of the Sphinx one (ABBOTT of ABBOTT'S) its choices
    are copied; the other AHs are decided by contexts counted on the words both sources share."""

    MIN_SAMPLES = 5

    def __init__(self, festlex, sphinx):
        self.festlex = festlex
        self.table = collections.defaultdict(collections.Counter)
        for head, prons in sphinx.items():
            for sp in prons:
                for fp in festlex.get(head, ()):
                    if matches(sp, fp):
                        for i, p in enumerate(sp):
                            if p == "ah":
                                for key in ah_features(sp, i):
                                    self.table[key][fp[i]] += 1
                        break

    def decide(self, head, sphinx):
        phones = list(sphinx)
        known = 0
        for cut in range(len(head) - 1, 1, -1):
            for fp in self.festlex.get(head[:cut], ()):
                if len(fp) <= len(phones) and matches(phones[:len(fp)], fp):
                    phones[:len(fp)] = fp
                    known = len(fp)
                    break
            if known:
                break
        for i in range(known, len(phones)):
            if sphinx[i] == "ah":
                phones[i] = self.guess(sphinx, i)
        return phones

    def guess(self, phones, i):
        for key in ah_features(phones, i):
            counts = self.table.get(key)
            if counts and sum(counts.values()) >= self.MIN_SAMPLES:
                # Most frequent; ties to the name first in byte order, for determinism.
                return min(counts.items(), key=lambda kv: (-kv[1], kv[0]))[0]
        return "ax"


def build(festlex_path, sphinx_path, sphinx_alternatives=True):
    mapped = collections.Counter()
    festlex, festlex_dropped = read_festlex(festlex_path, mapped)
    sphinx, sphinx_dropped = read_sphinx(sphinx_path)
    reduced = ReducedVowelModel(festlex, sphinx)

    words = {}
    for head, prons in festlex.items():
        words[head] = list(prons)  # festlex itself stays as read: the AH model reads it
    added = alternatives = 0
    for head, prons in sphinx.items():
        if head in words:
            # Its other pronunciations become alternatives: variants festlex lacks, and its AH
            # kept as the full vowel, since speakers (and other lexicons) often say a full vowel
            # where festlex writes a schwa; the alignment then picks by what it hears.
            for sp in prons if sphinx_alternatives else ():
                phones = [SPHINX_PHONES.get(p, p) for p in sp]
                if phones not in words[head] and all(p in PHONES for p in phones):
                    words[head].append(phones)
                    alternatives += 1
            continue
        out = []
        for sp in prons:
            phones = [SPHINX_PHONES.get(p, p) for p in reduced.decide(head, sp)]
            bad = [p for p in phones if p not in PHONES]
            if bad:
                raise SystemExit("sphinx phones %r of %r have no counterpart" % (bad, head))
            out.append(phones)
        words[head] = out
        added += 1

    entries = []
    duplicates = 0
    for head in sorted(words, key=lambda h: h.encode("ascii")):
        seen = []
        for phones in words[head]:
            text = " ".join(phones)
            if text in seen:
                duplicates += 1
                continue
            seen.append(text)
        for k, text in enumerate(seen):
            entries.append((head if k == 0 else "%s(%d)" % (head, k + 1), text))
    stats = {
        "festlex_words": len(festlex),
        "festlex_dropped": festlex_dropped,
        "sphinx_words_added": added,
        "sphinx_alternatives_added": alternatives,
        "sphinx_dropped": sphinx_dropped,
        "words": len(words),
        "lines": len(entries),
        "duplicates_dropped": duplicates,
        "mapped": dict(mapped),
    }
    return entries, stats


NOTICES = """\
#
# festlex-cmu (cmudict-0.4.out), modified: stress and syllables dropped, headwords upper case,
# entries whose headword transcript cleaning cannot keep left out, sorted in byte order.
# Its notice:
#                Centre for Speech Technology Research
#                     University of Edinburgh, UK
#                       Copyright (c) 1996,1997
#                        All Rights Reserved.
#  Permission is hereby granted, free of charge, to use and distribute
#  this software and its documentation without restriction, including
#  without limitation the rights to use, copy, modify, merge, publish,
#  distribute, sublicense, and/or sell copies of this work, and to
#  permit persons to whom this work is furnished to do so, subject to
#  the following conditions:
#   1. The code must retain the above copyright notice, this list of
#      conditions and the following disclaimer.
#   2. Any modifications must be clearly marked as such.
#   3. Original authors' names are not deleted.
#   4. The authors' names are not used to endorse or promote products
#      derived from this software without specific prior written
#      permission.
#  THE UNIVERSITY OF EDINBURGH AND THE CONTRIBUTORS TO THIS WORK
#  DISCLAIM ALL WARRANTIES WITH REGARD TO THIS SOFTWARE, INCLUDING
#  ALL IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS, IN NO EVENT
#  SHALL THE UNIVERSITY OF EDINBURGH NOR THE CONTRIBUTORS BE LIABLE
#  FOR ANY SPECIAL, INDIRECT OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES
#  WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR PROFITS, WHETHER IN
#  AN ACTION OF CONTRACT, NEGLIGENCE OR OTHER TORTIOUS ACTION,
#  ARISING OUT OF OR IN CONNECTION WITH THE USE OR PERFORMANCE OF
#  THIS SOFTWARE.
#
# pocketsphinx-en-us (cmudict-en-us.dict), for words festlex lacks and as alternatives for
# words it has, modified: phone names lower case, AH split into ah and ax in the words festlex
# lacks, headwords upper case, unreachable headwords left out.
# Its notice (BSD-2):
#  Copyright 1995-2014 Carnegie Mellon University.  All rights reserved.
#            2014-2015 Alpha Cephei Inc.
#  Redistribution and use in source and binary forms, with or without
#  modification, are permitted provided that the following conditions
#  are met:
#  1. Redistributions of source code must retain the above copyright
#     notice, this list of conditions and the following disclaimer.
#  2. Redistributions in binary form must reproduce the above copyright
#     notice, this list of conditions and the following disclaimer in the
#     documentation and/or other materials provided with the distribution.
#  THIS SOFTWARE IS PROVIDED BY CARNEGIE MELLON UNIVERSITY ``AS IS'' AND
#  ANY EXPRESSED OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO,
#  THE IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR
#  PURPOSE ARE DISCLAIMED.  IN NO EVENT SHALL CARNEGIE MELLON UNIVERSITY
#  NOR ITS EMPLOYEES BE LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL,
#  SPECIAL, EXEMPLARY, OR CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT
#  LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; LOSS OF USE,
#  DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER CAUSED AND ON ANY
#  THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT
#  (INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE
#  OF THIS SOFTWARE, EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.
#"""

HEADER = """\
# Voxtrail pronunciation dictionary: HEADWORD, then phonemes; "(2)" marks an alternative.
# Built by training/lexicon/build_dictionary.py from two Debian packages; see
# training/lexicon/README.md.
""" + NOTICES


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--festlex", default=FESTLEX)
    ap.add_argument("--sphinx", default=SPHINX)
    ap.add_argument("--out", default=OUTPUT)
    ap.add_argument("--without-sphinx-alternatives", action="store_true",
                    help="festlex's pronunciations only for its words (the dictionary the "
                         "training corpora are aligned with)")
    args = ap.parse_args(argv[1:])
    entries, stats = build(args.festlex, args.sphinx, not args.without_sphinx_alternatives)
    lines = HEADER.split("\n") + ["%s %s" % e for e in entries]
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out, "wb") as f:
        f.write(encode_lines(lines, line_key()))
    for key, value in stats.items():
        print("%s: %s" % (key, value))
    print("wrote %s (%d bytes)" % (args.out, os.path.getsize(args.out)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
