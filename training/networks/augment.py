"""Augmented copies of the training utterances, for speakers and rooms the corpus lacks.

Each copy k of an utterance gets its own reproducible draw (seeded by corpus, id and k):
  - speed perturbation (sox `speed`, tempo and pitch together; label times scale by 1/factor)
    or vocal-tract-length perturbation (sox `speed` then `tempo` back: formants and pitch move,
    durations stay), factor 0.88-1.12;
  - band limiting: telephone band (300-3400 Hz) or a low-pass at 3.5-7 kHz, sometimes;
  - additive noise at 5-30 dB SNR: white, pink or brown, or another corpus voice (babble);
  - gain from -18 to +6 dB (peaks kept below full scale).
Only development-free training utterances are copied. Features of copy k go to
CACHE/features/{16k,8k}/CORPUS@augK/ID.vxfeat, with CACHE/features/augment/CORPUS@augK.tsv
giving each copy's time scale (the trainer scales the original labels by it). Existing copies
are kept, so a rerun only fills gaps.

Usage: augment.py [--corpora ...] [--copies 1] [--jobs 2]"""
import argparse
import hashlib
import multiprocessing
import os
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402

RATE = 16000


def variant_name(corpus, copy):
    return "%s@aug%d" % (corpus, copy)


def scale_table_path(variant):
    return os.path.join(common.WORK, "features", "augment", variant + ".tsv")


def read_scales(variant):
    """{utterance id: label time scale} of an augmented variant."""
    path = scale_table_path(variant)
    if not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8") as f:
        return {k: float(v) for k, v in (line.split("\t") for line in f if line.strip())}


def draw(corpus, utt_id, copy):
    """The reproducible settings of one copy."""
    seed = int.from_bytes(hashlib.sha256(("%s/%s/%d" % (corpus, utt_id, copy)).encode())
                          .digest()[:8], "little")
    rng = np.random.default_rng(seed)
    d = dict(seed=seed)
    d["warp"] = float(rng.uniform(0.88, 1.12))
    d["keep_duration"] = bool(rng.random() < 0.5)
    band = rng.random()
    d["band"] = ("telephone" if band < 0.2 else
                 "lowpass %d" % int(rng.uniform(3500, 7000)) if band < 0.4 else None)
    noise = rng.random()
    d["noise"] = ("white" if noise < 0.15 else "pink" if noise < 0.35 else
                  "brown" if noise < 0.5 else "babble" if noise < 0.75 else None)
    d["snr_db"] = float(rng.uniform(5, 30))
    d["gain_db"] = float(rng.uniform(-18, 6))
    return d


def sox_effects(d):
    effects = ["speed", "%.4f" % d["warp"], "rate", "-h", str(RATE)]
    if d["keep_duration"]:
        effects += ["tempo", "-s", "%.4f" % (1.0 / d["warp"])]
    if d["band"] == "telephone":
        effects += ["sinc", "300-3400"]
    elif d["band"]:
        effects += ["sinc", "-%s" % d["band"].split()[1]]
    return effects


def read_wav(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2 or w.getnchannels() != 1:
            raise ValueError("%s: expected 16-bit mono" % path)
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(np.clip(np.round(samples), -32768, 32767).astype("<i2").tobytes())


def coloured_noise(kind, n, rng):
    white = rng.standard_normal(n)
    if kind == "white":
        return white
    spectrum = np.fft.rfft(white)
    f = np.maximum(np.fft.rfftfreq(n, 1.0 / RATE), 20.0)
    spectrum /= np.sqrt(f) if kind == "pink" else f
    return np.fft.irfft(spectrum, n)


def decode(flac, tmp, effects=()):
    out = os.path.join(tmp, "%d.wav" % len(os.listdir(tmp)))
    subprocess.run(["sox", flac, "-b", "16", "-c", "1", out] + list(effects) +
                   (["rate", "-h", str(RATE)] if not effects else []),
                   check=True, capture_output=True)
    return read_wav(out)


def _job(job):
    corpus, row, copy, babble_flac = job
    variant = variant_name(corpus, copy)
    targets = [(rate, common.feature_path(rate, variant, row["id"])) for rate in common.RATES]
    d = draw(corpus, row["id"], copy)
    scale = 1.0 if d["keep_duration"] else 1.0 / d["warp"]
    if all(os.path.exists(p) for _, p in targets):
        return row["id"], scale, None
    rng = np.random.default_rng(d["seed"] + 1)
    flac = os.path.join(common.CORPUS, corpus, row["flac"])
    with tempfile.TemporaryDirectory(dir=os.path.join(common.WORK, "tmp")) as tmp:
        x = decode(flac, tmp, sox_effects(d))
        if d["noise"] and len(x):
            if d["noise"] == "babble":
                other = decode(babble_flac, tmp)
                noise = np.resize(other, len(x)) if len(other) else np.zeros(len(x))
            else:
                noise = coloured_noise(d["noise"], len(x), rng)
            signal_power = np.mean(x * x)
            noise_power = np.mean(noise * noise)
            if signal_power > 0 and noise_power > 0:
                x = x + noise * np.sqrt(signal_power / noise_power / 10 ** (d["snr_db"] / 10))
        x *= 10 ** (d["gain_db"] / 20)
        peak = np.max(np.abs(x)) if len(x) else 0.0
        if peak > 32000:
            x *= 32000 / peak
        wav = os.path.join(tmp, "aug.wav")
        write_wav(wav, x)
        for rate, path in targets:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            args = [common.FEATURE_TOOL] + (["--to-8k"] if rate == 8000 else []) + [
                wav, path + ".part"]
            result = subprocess.run(args, capture_output=True, text=True)
            if result.returncode != 0:
                return row["id"], scale, "%s/%s: %s" % (variant, row["id"], result.stderr.strip())
            os.replace(path + ".part", path)
    return row["id"], scale, None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpora", nargs="+", default=list(common.CORPORA))
    parser.add_argument("--copies", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args(argv)
    if not os.access(common.FEATURE_TOOL, os.X_OK):
        sys.exit("vx-features not found at %s (build it first)" % common.FEATURE_TOOL)
    os.makedirs(os.path.join(common.WORK, "tmp"), exist_ok=True)
    os.makedirs(os.path.dirname(scale_table_path("x")), exist_ok=True)
    # Babble comes from the training utterances of the other corpora (never a development one).
    pools = {c: [os.path.join(common.CORPUS, c, r["flac"])
                 for r in common.split(common.read_manifest(c))[0]] for c in common.CORPORA}
    began = time.time()
    for corpus in args.corpora:
        train, _ = common.split(common.read_manifest(corpus))
        others = [f for c, files in pools.items() if c != corpus for f in files]
        for copy in range(1, args.copies + 1):
            variant = variant_name(corpus, copy)
            jobs = []
            for row in train:
                pick = draw(corpus, row["id"], copy)["seed"] % len(others)
                jobs.append((corpus, row, copy, others[pick]))
            scales, failures = {}, []
            with multiprocessing.Pool(args.jobs) as pool:
                for utt_id, scale, error in pool.imap_unordered(_job, jobs, chunksize=8):
                    if error:
                        failures.append(error)
                    else:
                        scales[utt_id] = scale
            path = scale_table_path(variant)
            with open(path + ".part", "w", encoding="utf-8") as f:
                for row in train:
                    if row["id"] in scales:
                        f.write("%s\t%.6f\n" % (row["id"], scales[row["id"]]))
            os.replace(path + ".part", path)
            print("augment: %s %d utterances (%.0f s), %d failures" % (
                variant, len(scales), time.time() - began, len(failures)), flush=True)
            for error in failures[:20]:
                print("  " + error)
    return 0


if __name__ == "__main__":
    sys.exit(main())
