"""Feature records of every corpus utterance, at 16 kHz and 8 kHz, made by the engine's own
vx-features tool into the cache folder. Existing files are kept, so a rerun only fills gaps."""
import argparse
import multiprocessing
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def _job(job):
    corpus, utt_id, flac = job
    targets = [(rate, common.feature_path(rate, corpus, utt_id)) for rate in common.RATES]
    missing = [(rate, path) for rate, path in targets if not os.path.exists(path)]
    if not missing:
        return None
    # The engine reads WAV, not FLAC: decode to a temporary 16-bit WAV first.
    with tempfile.TemporaryDirectory(dir=os.path.join(common.WORK, "tmp")) as tmp:
        wav = os.path.join(tmp, "in.wav")
        subprocess.run(["sox", flac, "-b", "16", wav], check=True, capture_output=True)
        for rate, path in missing:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            partial = path + ".part"
            args = [common.FEATURE_TOOL] + (["--to-8k"] if rate == 8000 else []) + [wav, partial]
            result = subprocess.run(args, capture_output=True, text=True)
            if result.returncode != 0:
                return "%s/%s: %s" % (corpus, utt_id, result.stderr.strip())
            os.replace(partial, path)
    return None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--corpora", nargs="+", default=list(common.CORPORA))
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args(argv)
    if not os.access(common.FEATURE_TOOL, os.X_OK):
        sys.exit("vx-features not found at %s (build it first)" % common.FEATURE_TOOL)
    os.makedirs(os.path.join(common.WORK, "tmp"), exist_ok=True)
    jobs = []
    for corpus in args.corpora:
        for row in common.read_manifest(corpus):
            jobs.append((corpus, row["id"], os.path.join(common.CORPUS, corpus, row["flac"])))
    start = time.time()
    failures = []
    with multiprocessing.Pool(args.jobs) as pool:
        for n, error in enumerate(pool.imap_unordered(_job, jobs, chunksize=8), 1):
            if error:
                failures.append(error)
            if n % 500 == 0:
                print("features: %d/%d (%.0f s)" % (n, len(jobs), time.time() - start), flush=True)
    print("features: %d utterances in %.0f s, %d failures" %
          (len(jobs), time.time() - start, len(failures)), flush=True)
    for error in failures:
        print("  " + error)
    return 0


if __name__ == "__main__":
    sys.exit(main())
