"""Phone labels by a teacher that never learnt from our networks or from fraser: Debian's
PocketSphinx (speaker-independent US English acoustic model, many hours of many speakers)
aligns each transcript at the phone level. The transcript's words get the training
dictionary's pronunciation (festlex's; letter-to-sound through vx-pronounce for the rest);
the grammar is those phones in order with an optional pause between words, and every phone
is a grammar word of its own, so the search's word times are phone times.

The library is loaded through ctypes (package libpocketsphinx3, pulled in by `pocketsphinx`;
the model is `pocketsphinx-en-us`). It is a tool of the training pipeline only.

Usage: teacher_align.py [--labels DIR] [--corpora ...] [--jobs 2] [--all]
(--all labels the unseen voices too, for measuring the teacher against fraser's labels)."""
import argparse
import ctypes
import multiprocessing
import os
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lexicon"))
import build_dictionary  # noqa: E402
import common  # noqa: E402

MODEL = "/usr/share/pocketsphinx/model/en-us/en-us"
LIBRARY = "libpocketsphinx.so.3"
PRONOUNCE_TOOL = os.path.join(common.REPO, "build-train", "tools", "pronounce", "vx-pronounce")
LEXICON = os.path.join(common.DATA_DIR, "DtC6dl.dat")
FRAME = 0.01  # the teacher's frame shift, s
# The teacher's frame k spans a 25.6 ms window from 10 k ms, so the change between frames
# k - 1 and k lies near 10 k + 8 ms; one frame later on its 10 ms grid.
SHIFT = 0.01
# Our classes in the teacher's phone set: it has no schwa of its own.
TEACHER_PHONE = {c: ("AH" if c == "ax" else c.upper()) for c in common.CLASSES if c != "sil"}


class Teacher:
    """One loaded PocketSphinx decoder; align() takes 16 kHz mono int16 samples."""

    def __init__(self, dictionary_path):
        lib = ctypes.CDLL(LIBRARY)
        lib.ps_args.restype = ctypes.c_void_p
        lib.cmd_ln_init.restype = ctypes.c_void_p
        lib.ps_init.restype = ctypes.c_void_p
        lib.ps_init.argtypes = [ctypes.c_void_p]
        lib.ps_set_jsgf_string.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
        lib.ps_set_search.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
        lib.ps_start_utt.argtypes = [ctypes.c_void_p]
        lib.ps_end_utt.argtypes = [ctypes.c_void_p]
        lib.ps_process_raw.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t,
                                       ctypes.c_int, ctypes.c_int]
        lib.ps_get_hyp.restype = ctypes.c_char_p
        lib.ps_get_hyp.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int32)]
        lib.ps_seg_iter.restype = ctypes.c_void_p
        lib.ps_seg_iter.argtypes = [ctypes.c_void_p]
        lib.ps_seg_next.restype = ctypes.c_void_p
        lib.ps_seg_next.argtypes = [ctypes.c_void_p]
        lib.ps_seg_word.restype = ctypes.c_char_p
        lib.ps_seg_word.argtypes = [ctypes.c_void_p]
        lib.ps_seg_frames.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                      ctypes.POINTER(ctypes.c_int)]
        args = [b"-hmm", MODEL.encode(), b"-dict", dictionary_path.encode(),
                b"-remove_silence", b"no", b"-fsgusefiller", b"no", b"-bestpath", b"no",
                b"-beam", b"1e-80", b"-pbeam", b"1e-80", b"-wbeam", b"1e-60",
                b"-logfn", b"/dev/null"]
        config = lib.cmd_ln_init(None, ctypes.c_void_p(lib.ps_args()), 1,
                                 *[ctypes.c_char_p(a) for a in args], None)
        self.ps = lib.ps_init(ctypes.c_void_p(config))
        if not self.ps:
            raise RuntimeError("PocketSphinx did not start (model %s)" % MODEL)
        self.lib = lib

    def align(self, samples, words):
        """[(start s, end s, phone)] or None where the grammar does not reach its end."""
        lib = self.lib
        body = " [sil] ".join("( %s )" % " ".join(w) for w in words)
        grammar = "#JSGF V1.0;\ngrammar g;\npublic <u> = [sil] %s [sil];\n" % body
        if lib.ps_set_jsgf_string(self.ps, b"g", grammar.encode()) < 0:
            return None
        lib.ps_set_search(self.ps, b"g")
        lib.ps_start_utt(self.ps)
        data = np.ascontiguousarray(samples, dtype=np.int16)
        lib.ps_process_raw(self.ps, data.ctypes.data, len(data), 0, 1)
        lib.ps_end_utt(self.ps)
        score = ctypes.c_int32()
        if not lib.ps_get_hyp(self.ps, ctypes.byref(score)):
            return None
        out = []
        seg = lib.ps_seg_iter(self.ps)
        sf, ef = ctypes.c_int(), ctypes.c_int()
        while seg:
            word = lib.ps_seg_word(seg).decode()
            lib.ps_seg_frames(seg, ctypes.byref(sf), ctypes.byref(ef))
            if word in common.CLASS_INDEX:
                out.append([sf.value * FRAME + SHIFT, (ef.value + 1) * FRAME + SHIFT, word])
            seg = lib.ps_seg_next(seg)
        expected = sum(len(w) for w in words)
        if sum(1 for s in out if s[2] != "sil") != expected:
            return None
        # Stretch the first and last segments to the sound's edges, leaving no gaps.
        out[0][0] = min(out[0][0], 0.0) if out[0][2] == "sil" else out[0][0]
        if out[0][0] > 0:
            out.insert(0, [0.0, out[0][0], "sil"])
        for a, b in zip(out, out[1:]):
            a[1] = b[0]
        end = len(data) / 16000.0
        if out[-1][1] < end:
            if out[-1][2] == "sil":
                out[-1][1] = end
            else:
                out.append([out[-1][1], end, "sil"])
        return [tuple(s) for s in out if s[1] > s[0]]


def pronunciations(texts):
    """{WORD: [phones]} for every word of the texts: festlex's first pronunciation, else the
    engine's letter-to-sound."""
    entries, _ = build_dictionary.build(build_dictionary.FESTLEX, build_dictionary.SPHINX,
                                        False)
    prons = {}
    for head, phones in entries:
        if "(" not in head and head not in prons:
            prons[head] = phones.split()
    words = sorted({w for t in texts for w in build_dictionary.clean_tokens(t)} - set(prons))
    if words:
        result = subprocess.run([PRONOUNCE_TOOL, LEXICON], input="\n".join(words), text=True,
                                capture_output=True, check=True)
        for line in result.stdout.splitlines():
            word, _, phones = line.partition("\t")
            if phones.split():
                prons[word] = phones.split()
    return prons


def write_dictionary(path):
    with open(path, "w") as f:
        for c, p in sorted(TEACHER_PHONE.items()):
            f.write("%s %s\n" % (c, p))
        f.write("sil SIL\n")


def read_samples(flac):
    raw = subprocess.run(["sox", flac, "-t", "raw", "-r", "16000", "-e", "signed", "-b", "16",
                          "-c", "1", "-"], check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype="<i2")


_teacher = None


def _init(dictionary_path):
    global _teacher
    _teacher = Teacher(dictionary_path)


def _job(job):
    corpus, utt_id, flac, words, path = job
    segments = _teacher.align(read_samples(flac), words) if words else None
    if segments is None:
        return 0
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".part", "w") as f:
        for s, e, name in segments:
            f.write("%.6f\t%.6f\t%s\n" % (s, e, name))
    os.replace(path + ".part", path)
    return 1


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--labels", default=os.path.join(common.WORK, "labels_teacher"))
    parser.add_argument("--corpora", nargs="+", default=list(common.CORPORA))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--all", action="store_true",
                        help="label the unseen voices too (for measuring the teacher)")
    args = parser.parse_args(argv)
    rows = []
    for corpus in args.corpora:
        rows += [r for r in common.read_manifest(corpus) if args.all or not common.is_unseen(r)]
    todo = [r for r in rows
            if not os.path.exists(os.path.join(args.labels, r["corpus"], r["id"] + ".lab"))]
    prons = pronunciations([r["transcript"] for r in todo])
    jobs = []
    for r in todo:
        tokens = build_dictionary.clean_tokens(r["transcript"])
        words = [[c for c in prons[t]] for t in tokens if t in prons]
        jobs.append((r["corpus"], r["id"], os.path.join(common.CORPUS, r["corpus"], r["flac"]),
                     words if len(words) == len(tokens) else None,
                     os.path.join(args.labels, r["corpus"], r["id"] + ".lab")))
    os.makedirs(common.WORK, exist_ok=True)
    dictionary_path = os.path.join(common.WORK, "teacher_phones.dict")
    write_dictionary(dictionary_path)
    began = time.time()
    done = 0
    with multiprocessing.Pool(args.jobs, _init, (dictionary_path,)) as pool:
        for n, ok in enumerate(pool.imap_unordered(_job, jobs, chunksize=4), 1):
            done += ok
            if n % 500 == 0:
                print("teacher: %d/%d (%.0f s)" % (n, len(jobs), time.time() - began), flush=True)
    print("teacher: aligned %d of %d utterances in %.0f s (%d already labelled)" %
          (done, len(jobs), time.time() - began, len(rows) - len(todo)), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
