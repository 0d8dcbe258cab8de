"""The recognizer (networks and decoder, through vx-align) on voices kept out of training
(common.is_unseen), per speaker and in total:

- fraser, whole (its phone labels are the one boundary reference that neither our networks
  nor the teacher made): transcript-aligned boundaries within 20 ms of its labels, and the
  share of 10 ms frames whose mouth shape (the built-in 15 speech targets, silence as rest)
  matches its labels; also its free-loop phone error rate against its labels;
- the transcript-only held-out speakers (an4's three, arctic_extra's two, every fifth
  speechocean speaker, a fixed tenth of the keyword clips): free-loop phone and viseme error
  rates against the dictionary pronunciations of their transcripts (pauses left out on both
  sides, runs of one symbol merged);
- 2 s of digital silence and 2 s of quiet room noise without transcript: the phoneme segments
  the free loop finds (one silence segment is right).

Usage: evaluate_unseen.py [--data DIR] [--rates 16000 8000] [--json OUT] [--labels-only DIR]
(--labels-only DIR measures a folder of label files against fraser's instead, as for the
teacher's labels: boundaries and mouth-shape frames only)."""
import argparse
import json
import os
import subprocess
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import evaluate_decoder as ed  # noqa: E402

# Mouth shape of every phone: the track the built-in speech-target map drives (0 = rest).
VISEME = {}
for _track, _phones in enumerate(["sil", "iy", "er", "ih eh ey ae aw ay ah ax hh", "aa ao",
                                  "oy ow uh uw", "w y", "s z", "sh zh jh ch", "f v", "th dh",
                                  "l d t", "m b p", "n ng", "r", "g k"]):
    for _p in _phones.split():
        VISEME[_p] = _track
STEP_MS = 10


def wav_of(row):
    wav = os.path.join(common.WORK, "wav", row["corpus"], row["id"] + ".wav")
    if not os.path.exists(wav):
        os.makedirs(os.path.dirname(wav), exist_ok=True)
        subprocess.run(["sox", os.path.join(common.CORPUS, row["corpus"], row["flac"]), "-b",
                        "16", wav + ".part.wav"], check=True, capture_output=True)
        os.replace(wav + ".part.wav", wav)
    return wav


def frame_shapes(segments, end_ms):
    """Mouth shape at the centre of every 10 ms frame up to end_ms."""
    centres = np.arange(STEP_MS / 2, end_ms, STEP_MS)
    starts = np.array([s for s, _, _ in segments], dtype=np.float64)
    shapes = np.array([VISEME[n] for _, _, n in segments])
    index = np.clip(np.searchsorted(starts, centres, side="right") - 1, 0, len(segments) - 1)
    return shapes[index]


def fraser_reference():
    refs = {}
    for row in common.read_manifest("fraser"):
        lab = os.path.join(common.CORPUS, "fraser", row["lab"])
        segs = [(int(round(s * 1000)), int(round(e * 1000)), common.CLASSES[c])
                for s, e, c in common.read_lab(lab)]
        if segs:
            refs[row["id"]] = (row, ed.collapse(segs))
    return refs


def boundary_and_frames(refs, hyps):
    """(share of reference boundaries within 20 ms, share of frames with the right shape)."""
    hits = total = same = frames = 0
    for key, (_, ref) in refs.items():
        hyp = hyps.get(key)
        if not hyp:
            total += len(ref) - 1
            frames += ref[-1][1] // STEP_MS
            continue
        hyp = ed.collapse(hyp)
        n = len(ref) - 1
        hits += ed.within(ed.boundaries(ref), ed.boundaries(hyp), ed.TOLERANCE_MS) * n
        total += n
        end = ref[-1][1]
        a, b = frame_shapes(ref, end), frame_shapes(hyp, end)
        same += int((a == b).sum())
        frames += len(a)
    return hits / max(total, 1), same / max(frames, 1)


def error_rate(pairs, symbol):
    """Edits over reference length, pauses dropped and runs merged on both sides."""
    edits = length = 0
    for ref, hyp in pairs:
        r = merge([symbol(p) for p in ref if p != "sil"])
        h = merge([symbol(p) for p in hyp if p != "sil"])
        edits += ed.edit_distance(r, h)
        length += len(r)
    return edits / max(length, 1), length


def merge(seq):
    return [s for i, s in enumerate(seq) if i == 0 or seq[i - 1] != s]


def speaker_group(row):
    corpus = row["corpus"]
    if corpus in ("an4", "arctic_extra"):
        return "%s %s" % (corpus, row["speaker"])
    if corpus == "speechocean":
        return "speechocean %s" % ("children" if int(row["age"]) <= 15 else "adults")
    return corpus


def quiet_sounds():
    folder = os.path.join(common.WORK, "quiet")
    os.makedirs(folder, exist_ok=True)
    sounds = {"2 s digital silence": ["sox", "-n", "-r", "16000", "-b", "16", "-c", "1", None,
                                      "trim", "0", "2"],
              "2 s quiet room noise": ["sox", "-n", "-r", "16000", "-b", "16", "-c", "1", None,
                                       "synth", "2", "pinknoise", "vol", "0.003"]}
    out = {}
    for name, cmd in sounds.items():
        path = os.path.join(folder, name.replace(" ", "_") + ".wav")
        if not os.path.exists(path):
            cmd[cmd.index(None)] = path
            subprocess.run(cmd, check=True, capture_output=True)
        out[name] = path
    return out


def evaluate(data, rate, prons):
    to8k = rate == 8000
    result = {"rate": rate}
    refs = fraser_reference()
    items = [(wav_of(row), row["transcript"]) for row, _ in refs.values()]
    key = {wav_of(row): k for k, (row, _) in refs.items()}
    aligned = {key[w]: s for w, s in ed.run_align(data, items, to8k).items()}
    free = {key[w]: s for w, s in ed.run_align(data, [(w, "") for w, _ in items], to8k).items()}
    result["fraser_boundaries_20ms"], result["fraser_shape_frames"] = \
        boundary_and_frames(refs, aligned)
    pairs = [([n for _, _, n in ref], [n for _, _, n in free.get(k, [])])
             for k, (_, ref) in refs.items()]
    result["fraser_free_per"] = error_rate(pairs, str)[0]
    # fraser's aligner writes ah for the schwa that our dictionary writes ax: same mouth.
    result["fraser_free_per_schwa_merged"] = error_rate(
        pairs, lambda p: "ah" if p == "ax" else p)[0]

    groups = {}
    for corpus in ("an4", "arctic_extra", "speechocean", "keywords"):
        for row in common.unseen(common.read_manifest(corpus)):
            groups.setdefault(speaker_group(row), []).append(row)
    rows = [r for g in groups.values() for r in g]
    hyps = ed.run_align(data, [(wav_of(r), "") for r in rows], to8k)
    per_group, pairs_of = {}, {}
    every = []
    for name, members in sorted(groups.items()):
        pairs = []
        for r in members:
            ref = [p for w in common_words(r["transcript"]) for p in prons.get(w, [])]
            pairs.append((ref, [n for _, _, n in hyps.get(wav_of(r), [])]))
        every += pairs
        pairs_of[name] = pairs
        per, length = error_rate(pairs, str)
        ver, _ = error_rate(pairs, lambda p: VISEME[p])
        per_group[name] = dict(utterances=len(members), phones=length, per=per, ver=ver)
    result["speakers"] = per_group
    result["total_per"] = error_rate(every, str)[0]
    result["total_ver"] = error_rate(every, lambda p: VISEME[p])[0]
    # The keyword clips repeat the few words the training clips say: sentences alone too.
    sentences = [p for name in per_group if name != "keywords" for p in pairs_of[name]]
    result["sentences_per"] = error_rate(sentences, str)[0]
    result["sentences_ver"] = error_rate(sentences, lambda p: VISEME[p])[0]

    quiet = quiet_sounds()
    segs = ed.run_align(data, [(p, "") for p in quiet.values()], to8k)
    result["quiet"] = {name: " ".join(n for _, _, n in ed.collapse(segs.get(p, [])))
                       for name, p in quiet.items()}
    return result


def common_words(text):
    import build_dictionary  # noqa: E402 (the lexicon folder is on the path via teacher_align)
    return build_dictionary.clean_tokens(text)


def labels_only(folder):
    refs = fraser_reference()
    hyps = {}
    for k in refs:
        path = os.path.join(folder, "fraser", k + ".lab")
        if os.path.exists(path):
            hyps[k] = [(int(round(s * 1000)), int(round(e * 1000)), common.CLASSES[c])
                       for s, e, c in common.read_lab(path)]
    b, f = boundary_and_frames(refs, hyps)
    print("%s on fraser (%d of %d utterances labelled): %.3f of boundaries within 20 ms, "
          "%.3f of 10 ms frames with the right mouth shape" % (folder, len(hyps), len(refs), b, f))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", default=common.DATA_DIR)
    parser.add_argument("--rates", nargs="+", type=int, default=list(common.RATES))
    parser.add_argument("--json")
    parser.add_argument("--labels-only")
    args = parser.parse_args(argv)
    if args.labels_only:
        labels_only(args.labels_only)
        return 0
    import teacher_align  # the dictionary pronunciations, as the teacher's labels use them
    texts = [r["transcript"] for c in common.CORPORA for r in common.unseen(common.read_manifest(c))]
    prons = teacher_align.pronunciations(texts)
    results = [evaluate(args.data, rate, prons) for rate in args.rates]
    for r in results:
        print("%d Hz" % r["rate"])
        print("  fraser (875 utterances): boundaries within 20 ms %.3f; 10 ms frames with the "
              "right mouth shape %.3f; free-loop PER %.3f (%.3f with ah and ax as one)" % (
                  r["fraser_boundaries_20ms"], r["fraser_shape_frames"], r["fraser_free_per"],
                  r["fraser_free_per_schwa_merged"]))
        print("  %-28s %6s %6s %6s %6s" % ("held-out speakers", "utts", "phones", "PER", "VER"))
        for name, g in r["speakers"].items():
            print("  %-28s %6d %6d %6.3f %6.3f" % (name, g["utterances"], g["phones"], g["per"],
                                                  g["ver"]))
        print("  %-28s %6s %6s %6.3f %6.3f" % ("total", "", "", r["total_per"], r["total_ver"]))
        print("  %-28s %6s %6s %6.3f %6.3f" % ("total without keywords", "", "",
                                              r["sentences_per"], r["sentences_ver"]))
        for name, found in r["quiet"].items():
            print("  %s: %d segment(s): %s" % (name, len(found.split()), found))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
