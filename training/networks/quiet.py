"""A corpus of speech-free sound for the networks to call silence: digital silence, and quiet
room-like noise (white, pink, brown, mains hum, a small DC offset) from -75 to -35 dBFS, 0.5 to
4 s each, drawn reproducibly. Without it the networks never see sound that holds no speech at
all (most corpora have their edge silence trimmed) and they read phonemes into it.

Writes CACHE/quiet/manifest.tsv, the WAV files, their features at both rates and one silence
label per clip (into every label folder named with --labels), as the other corpora have them.

Usage: quiet.py [--count 240] [--labels DIR ...]"""
import argparse
import os
import subprocess
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import augment  # noqa: E402
import common  # noqa: E402

KINDS = ("digital", "white", "pink", "brown", "hum")


def clip(index):
    rng = np.random.default_rng(7919 + index)
    kind = KINDS[index % len(KINDS)]
    n = int(rng.uniform(0.5, 4.0) * augment.RATE)
    if kind == "digital":
        return kind, np.zeros(n)
    if kind == "hum":
        t = np.arange(n) / augment.RATE
        base = rng.choice([50.0, 60.0])
        x = sum(np.sin(2 * np.pi * base * h * t + rng.uniform(0, 6.3)) / h for h in (1, 2, 3))
        x = x + 0.3 * augment.coloured_noise("pink", n, rng)
    else:
        x = augment.coloured_noise(kind, n, rng)
    level_db = rng.uniform(-75, -35)
    x = x / max(np.sqrt(np.mean(x * x)), 1e-12) * 32768 * 10 ** (level_db / 20)
    if rng.random() < 0.3:
        x = x + rng.uniform(-40, 40)
    return kind, x


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=240)
    parser.add_argument("--labels", nargs="+", default=[common.LABELS])
    args = parser.parse_args(argv)
    folder = os.path.join(common.WORK, "quiet")
    os.makedirs(os.path.join(folder, "wav"), exist_ok=True)
    rows = []
    for i in range(args.count):
        utt_id = "quiet%04d" % i
        kind, x = clip(i)
        wav = os.path.join(folder, "wav", utt_id + ".wav")
        if not os.path.exists(wav):
            augment.write_wav(wav + ".part", x)
            os.replace(wav + ".part", wav)
        for rate in common.RATES:
            path = common.feature_path(rate, "quiet", utt_id)
            if not os.path.exists(path):
                os.makedirs(os.path.dirname(path), exist_ok=True)
                subprocess.run([common.FEATURE_TOOL] + (["--to-8k"] if rate == 8000 else []) +
                               [wav, path + ".part"], check=True, capture_output=True)
                os.replace(path + ".part", path)
        seconds = len(x) / augment.RATE
        for labels in args.labels:
            lab = os.path.join(labels, "quiet", utt_id + ".lab")
            os.makedirs(os.path.dirname(lab), exist_ok=True)
            with open(lab, "w") as f:
                f.write("0.000000\t%.6f\tsil\n" % seconds)
        rows.append("%s\twav/%s.wav\t%.3f\t\t%s" % (utt_id, utt_id, seconds, kind))
    with open(os.path.join(folder, "manifest.tsv"), "w") as f:
        f.write("id\tflac\tdur_s\ttranscript\tkind\n" + "\n".join(rows) + "\n")
    print("quiet: %d clips" % len(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
