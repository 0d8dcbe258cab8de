#!/usr/bin/env python3
"""Writes the recognizer's small test data: tiny random phoneme networks in the engine's
big-endian weight-file format, and two deterministic test sounds for the front end.

Usage: make_test_networks.py [output folder]   (default: tests/data/recognizer)

Networks (folder networks/, named like the engine's data files so a data folder can use them):
  Wt16M9fs.dat, Wt16M9bs.dat, Wt8S9fs.dat, Wt8S9bs.dat: 41 classes;
  classes40.dat: a 40-class network for mismatch tests.
Layout: unit 0 is a bias (initial 1), 13 inputs, S = 8 state units, 12 hidden units, then the
outputs. Sounds (folder sounds/): chirp16k.wav and chirp8k.wav, 1 s of 16-bit mono.
Everything comes from fixed seeds, so reruns give identical bytes.
"""
import math
import os
import random
import struct
import sys
import wave

INPUTS = 13
STATE = 8
HIDDEN = 12


def network_bytes(seed, classes):
    rng = random.Random(seed)
    i0 = 1
    i1 = i0 + INPUTS
    c0 = i1 + STATE
    o0 = c0 + HIDDEN
    units = o0 + classes
    # S, five unused words, i0, i1, a word the reader overwrites, c0, o0, U.
    header = [STATE, 0, 0, 0, 0, 0, i0, i1, 0, c0, o0, units]
    out = bytearray(struct.pack(">12i", *header))
    initial = [1.0] + [0.0] * (units - 1)
    out += struct.pack(">%df" % units, *initial)
    weights = [rng.gauss(0.0, 0.6) for _ in range((units - c0) * c0)]
    out += struct.pack(">%df" % len(weights), *weights)
    return bytes(out)


def chirp_samples(rate, seed):
    """0.1 s of digital silence, 0.8 s of a harmonic chirp (110 to 240 Hz) with noise, then
    0.1 s of silence: voiced frames, inactive frames and the transitions between them."""
    rng = random.Random(seed)
    n = rate
    quiet = rate // 10
    samples = []
    phase = 0.0
    for i in range(n):
        if i < quiet or i >= n - quiet:
            samples.append(0)
            continue
        t = (i - quiet) / (n - 2 * quiet)
        f0 = 110.0 + 130.0 * t
        phase += 2.0 * math.pi * f0 / rate
        value = 0.0
        for h in range(1, 12):
            if h * f0 < rate / 2:
                value += math.sin(h * phase) / h
        envelope = math.sin(math.pi * t) ** 0.5
        value = 6000.0 * envelope * value + rng.gauss(0.0, 300.0)
        samples.append(max(-32768, min(32767, int(round(value)))))
    return samples


def write_wav(path, rate, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "recognizer")
    networks = os.path.join(root, "networks")
    sounds = os.path.join(root, "sounds")
    os.makedirs(networks, exist_ok=True)
    os.makedirs(sounds, exist_ok=True)
    files = {
        "Wt16M9fs.dat": (1601, 41),
        "Wt16M9bs.dat": (1602, 41),
        "Wt8S9fs.dat": (801, 41),
        "Wt8S9bs.dat": (802, 41),
        "classes40.dat": (4000, 40),
    }
    for name, (seed, classes) in files.items():
        with open(os.path.join(networks, name), "wb") as f:
            f.write(network_bytes(seed, classes))
    write_wav(os.path.join(sounds, "chirp16k.wav"), 16000, chirp_samples(16000, 16))
    write_wav(os.path.join(sounds, "chirp8k.wav"), 8000, chirp_samples(8000, 8))


if __name__ == "__main__":
    main()
