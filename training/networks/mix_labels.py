"""Mixed labels: where the teacher's labels and our own alignment's name the same phones
(pauses aside), every boundary is placed halfway between the two; elsewhere the teacher's
labels are kept. Two aligners with different errors, averaged, for comparing label sources.

Usage: mix_labels.py --teacher DIR --ours DIR --out DIR [--corpora ...]"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def speech(segments):
    return [(s, e, c) for s, e, c in segments if c != 0]


def mixed(teacher, ours):
    a, b = speech(teacher), speech(ours)
    if [c for _, _, c in a] != [c for _, _, c in b]:
        return teacher, False
    # Phone edges are averaged; pauses fill whatever lies between the mixed phones.
    phones = [((sa + sb) / 2, (ea + eb) / 2, c) for (sa, ea, c), (sb, eb, _) in zip(a, b)]
    end = max(teacher[-1][1], ours[-1][1])
    out, t = [], 0.0
    for s, e, c in phones:
        if s - t > 1e-6:
            out.append((t, s, 0))
        s = max(s, t)
        if e > s:
            out.append((s, e, c))
            t = e
    if end - t > 1e-6:
        out.append((t, end, 0))
    return out, True


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--teacher", required=True)
    parser.add_argument("--ours", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--corpora", nargs="+",
                        default=["cathy", "ljspeech", "keywords", "speechocean", "quiet"])
    args = parser.parse_args(argv)
    agreed = total = 0
    for corpus in args.corpora:
        folder = os.path.join(args.teacher, corpus)
        if not os.path.isdir(folder):
            continue
        os.makedirs(os.path.join(args.out, corpus), exist_ok=True)
        for name in sorted(os.listdir(folder)):
            teacher = common.read_lab(os.path.join(folder, name))
            ours_path = os.path.join(args.ours, corpus, name)
            result, same = teacher, False
            if teacher and os.path.exists(ours_path):
                ours = common.read_lab(ours_path)
                if ours:
                    result, same = mixed(teacher, ours)
            agreed += same
            total += 1
            with open(os.path.join(args.out, corpus, name), "w") as f:
                for s, e, c in result:
                    f.write("%.6f\t%.6f\t%s\n" % (s, e, common.CLASSES[c]))
    print("mix_labels: %d of %d utterances averaged (the rest keep the teacher's)" %
          (agreed, total))
    return 0


if __name__ == "__main__":
    sys.exit(main())
