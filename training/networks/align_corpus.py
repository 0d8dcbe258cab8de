"""Phone labels for the corpus folders that have only transcripts: the engine's transcript
alignment (vx-align, with the networks and dictionaries in --data) gives each utterance its
phone segments, written as label files (start s, end s, phone) into the cache folder, where
the trainer finds them. Runs in two processes; existing label files are kept.

Usage: align_corpus.py [--data DIR] [--labels DIR] [--corpora cathy ljspeech keywords] [--jobs 2]"""
import argparse
import multiprocessing
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402
import evaluate_decoder  # noqa: E402


def label_path(corpus, utt_id):
    return os.path.join(common.LABELS, corpus, utt_id + ".lab")


def _batch(job):
    data, corpus, rows = job
    wav_dir = os.path.join(common.WORK, "wav", corpus)
    os.makedirs(wav_dir, exist_ok=True)
    items = []
    for row in rows:
        wav = os.path.join(wav_dir, row["id"] + ".wav")
        if not os.path.exists(wav):
            subprocess.run(["sox", os.path.join(common.corpus_folder(corpus), row["flac"]), "-b", "16",
                            wav + ".part.wav"], check=True, capture_output=True)
            os.replace(wav + ".part.wav", wav)
        items.append((wav, row["transcript"]))
    segments = evaluate_decoder.run_align(data, items, False)
    written = 0
    for row, (wav, _) in zip(rows, items):
        found = segments.get(wav)
        if not found:
            continue
        path = label_path(corpus, row["id"])
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path + ".part", "w") as f:
            for s, e, name in found:
                f.write("%.6f\t%.6f\t%s\n" % (s / 1000.0, e / 1000.0, name))
        os.replace(path + ".part", path)
        written += 1
    return written, len(rows)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", default=common.DATA_DIR)
    parser.add_argument("--corpora", nargs="+",
                        default=["cathy", "ljspeech", "keywords", "speechocean"])
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--batch", type=int, default=50)
    parser.add_argument("--labels", default=common.LABELS,
                        help="folder for the label files (default CACHE/labels)")
    args = parser.parse_args(argv)
    common.LABELS = os.path.abspath(args.labels)
    jobs = []
    for corpus in args.corpora:
        rows = [r for r in common.read_manifest(corpus)
                if not common.is_unseen(r) and not os.path.exists(label_path(corpus, r["id"]))]
        jobs += [(args.data, corpus, rows[i:i + args.batch])
                 for i in range(0, len(rows), args.batch)]
    began = time.time()
    done = total = 0
    with multiprocessing.Pool(args.jobs) as pool:
        for written, count in pool.imap_unordered(_batch, jobs):
            done += written
            total += count
            print("aligned %d/%d (%.0f s)" % (done, total, time.time() - began), flush=True)
    print("aligned %d of %d utterances in %.0f s" % (done, total, time.time() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main())
