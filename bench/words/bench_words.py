#!/usr/bin/env python3
"""Words without a transcript, measured: `voxtrail analyze` with the word recogniser against the
free phoneme loop, on voices kept out of training (real recordings only).

For each sound: the phone error rate (PER) and the viseme error rate (VER: phones mapped to the
built-in 15 speech targets, pauses dropped, repeats collapsed) of both modes, and the CPU
seconds per audio second of each (the processes' own user + system time, model loading
included, as a user's run pays it). References: fraser's phone labels; for an4 and arctic_extra
the dictionary pronunciations of their transcripts. ah and ax count as one phone (fraser's
aligner has no schwa of its own). The telephone rows are the same sounds brought to 8 kHz with
`sox -D ... rate 8000` in a temporary folder.

Words mode is `voxtrail analyze SOUND --recognizer words` when the tool has that option, else
vx-words followed by `voxtrail analyze SOUND --text "<its words>"` (no words: a closed mouth);
below 16 kHz, where the tool keeps the phoneme loop, always the latter when --vx-words is given.

Usage: bench/words/bench_words.py --voxtrail BUILD/cli/voxtrail
           [--vx-words BUILD/recognizers/words/vx-words] [--fraser-every 5]
           [--rates 16000 8000] [--json OUT]
A benchmark, not a test: about 15 minutes of CPU with the defaults; never run in CI."""
import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "training", "networks"))
import common  # noqa: E402
import evaluate_unseen as eu  # noqa: E402


def cpu_of_children():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def duration(path):
    with wave.open(path) as w:
        return w.getnframes() / w.getframerate()


def phones_of_tsv(text):
    return [line.split("\t")[2] for line in text.splitlines() if line.count("\t") == 2]


class Modes:
    def __init__(self, voxtrail, vx_words):
        self.voxtrail, self.vx_words = voxtrail, vx_words
        helptext = subprocess.run([voxtrail, "--help"], capture_output=True, text=True).stdout
        self.cli_words = "--recognizer" in helptext
        if not self.cli_words and not (vx_words and os.access(vx_words, os.X_OK)):
            sys.exit("bench_words: %s has no --recognizer; give --vx-words" % voxtrail)

    def analyze(self, sound, *args):
        result = subprocess.run([self.voxtrail, "analyze", sound, "--format", "tsv"] + list(args),
                                capture_output=True, text=True)
        if result.returncode != 0:
            sys.stderr.write("bench_words: %s: %s\n" % (sound, result.stderr.strip()))
            return []
        return phones_of_tsv(result.stdout)

    def phonemes(self, sound):
        if self.cli_words:
            return self.analyze(sound, "--recognizer", "phonemes")
        return self.analyze(sound, "--text", "")

    def words(self, sound, rate=16000):
        # Below 16 kHz the tool may keep the phoneme loop; the upsampled words path is then
        # measured through vx-words.
        if self.cli_words and not (rate < 16000 and self.vx_words):
            return self.analyze(sound, "--recognizer", "words")
        result = subprocess.run([self.vx_words, sound], capture_output=True, text=True)
        words = [line.split()[2] for line in result.stdout.splitlines()
                 if line and not line.startswith("#")]
        if result.returncode != 0 or not words:
            return []
        return self.analyze(sound, "--text", " ".join(words))


def items():
    """(group, sound at 16 kHz, reference phones) of the measured voices."""
    out = []
    refs = eu.fraser_reference()
    for key in sorted(refs)[::ARGS.fraser_every]:
        row, segments = refs[key]
        out.append(("fraser", eu.wav_of(row), [n for _, _, n in segments]))
    import teacher_align  # the dictionary pronunciations, as evaluate_unseen uses them
    rows = [r for c in ("an4", "arctic_extra") for r in common.unseen(common.read_manifest(c))]
    prons = teacher_align.pronunciations([r["transcript"] for r in rows])
    for r in rows:
        ref = [p for w in eu.common_words(r["transcript"]) for p in prons.get(w, [])]
        out.append((eu.speaker_group(r), eu.wav_of(r), ref))
    return out


def at_rate(sound, rate, folder):
    if rate == 16000:
        return sound
    path = os.path.join(folder, "%d_%s" % (rate, os.path.basename(sound)))
    if not os.path.exists(path):
        subprocess.run(["sox", "-D", sound, path, "rate", str(rate)], check=True,
                       capture_output=True)
    return path


def schwa(p):
    return "ah" if p == "ax" else p


def viseme(p):
    return eu.VISEME[p]


def measure(modes, measured, rate, folder):
    pairs = {"phonemes": {}, "words": {}}
    cpu = {"phonemes": 0.0, "words": 0.0}
    audio = 0.0
    for group, sound, ref in measured:
        sound = at_rate(sound, rate, folder)
        audio += duration(sound)
        for mode in ("phonemes", "words"):
            before = cpu_of_children()
            hyp = modes.words(sound, rate) if mode == "words" else modes.phonemes(sound)
            cpu[mode] += cpu_of_children() - before
            pairs[mode].setdefault(group, []).append((ref, hyp))
    result = {"rate": rate, "audio_s": audio, "groups": {}}
    groups = list(pairs["words"]) + ["read speech (all above)"]
    for group in groups:
        row = {}
        for mode in ("phonemes", "words"):
            if group in pairs[mode]:
                p = pairs[mode][group]
            else:
                p = [x for g in pairs[mode].values() for x in g]
            row["utterances"] = len(p)
            row[mode + "_per"], row["phones"] = eu.error_rate(p, schwa)
            row[mode + "_ver"] = eu.error_rate(p, viseme)[0]
        result["groups"][group] = row
    for mode in ("phonemes", "words"):
        result[mode + "_cpu_per_audio_s"] = cpu[mode] / max(audio, 1e-9)
    # What every run pays before any decoding (loading the models): one second of digital
    # silence, which the recogniser's voice detector passes over without decoding.
    silence = os.path.join(folder, "silence_%d.wav" % rate)
    subprocess.run(["sox", "-n", "-r", str(rate), "-b", "16", "-c", "1", silence, "trim", "0",
                    "1"], check=True, capture_output=True)
    runs = 5
    before = cpu_of_children()
    for _ in range(runs):
        modes.words(silence, rate)
    load = (cpu_of_children() - before) / runs
    result["words_load_cpu_s"] = load
    result["words_cpu_per_audio_s_without_load"] = \
        (cpu["words"] - load * len(measured)) / max(audio, 1e-9)
    return result


def print_table(results):
    print("| rate | voices | utts | phones | PER phonemes | PER words | VER phonemes | VER words |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for r in results:
        for group, g in r["groups"].items():
            print("| %d Hz | %s | %d | %d | %.3f | %.3f | %.3f | %.3f |" % (
                r["rate"], group, g["utterances"], g["phones"], g["phonemes_per"],
                g["words_per"], g["phonemes_ver"], g["words_ver"]))
    print()
    print("| rate | audio s | CPU s per audio s: phonemes | words | words without the "
          "per-run load | per-run load, CPU s |")
    print("|---|---:|---:|---:|---:|---:|")
    for r in results:
        print("| %d Hz | %.0f | %.3f | %.3f | %.3f | %.2f |" % (
            r["rate"], r["audio_s"], r["phonemes_cpu_per_audio_s"], r["words_cpu_per_audio_s"],
            r["words_cpu_per_audio_s_without_load"], r["words_load_cpu_s"]))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxtrail", required=True)
    parser.add_argument("--vx-words")
    parser.add_argument("--fraser-every", type=int, default=5,
                        help="every Nth fraser utterance, in id order (default 5: 175 of 875)")
    parser.add_argument("--rates", nargs="+", type=int, default=[16000, 8000])
    parser.add_argument("--json")
    ARGS = parser.parse_args()
    modes = Modes(ARGS.voxtrail, ARGS.vx_words)
    print("words mode: %s" % ("voxtrail --recognizer words" if modes.cli_words else
                              "vx-words, then voxtrail --text"), file=sys.stderr)
    measured = items()
    folder = tempfile.mkdtemp(prefix="bench_words_")
    try:
        results = [measure(modes, measured, rate, folder) for rate in ARGS.rates]
    finally:
        shutil.rmtree(folder)
    print_table(results)
    if ARGS.json:
        with open(ARGS.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
