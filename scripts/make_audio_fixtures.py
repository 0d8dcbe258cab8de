#!/usr/bin/env python3
"""Writes the sound-file fixtures under tests/data/audio and the reader fuzz seed corpora.

Most files are written byte by byte so that every header field (and every lie in one) is
deliberate; a few come from sox so that real-tool output is covered too. Output is
deterministic: running the script again rewrites identical files.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "data", "audio")
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def chunk(tag, body, size=None, big_endian=False, pad=True):
    """An IFF/RIFF chunk; size overrides the declared length, the pad byte follows odd bodies."""
    declared = len(body) if size is None else size
    header = tag + struct.pack(">I" if big_endian else "<I", declared)
    return header + body + (b"\0" if pad and len(body) % 2 else b"")


def fmt_body(tag, channels, rate, bits, extra=b""):
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    return body + (struct.pack("<H", len(extra)) + extra if tag != 1 or extra else b"")


def riff(chunks, size=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if size is None else size) + body


def pcm16(samples):
    return struct.pack("<%dh" % len(samples), *samples)


def sine(count, rate, freq, amplitude, phase=0.0):
    return [int(round(amplitude * math.sin(2 * math.pi * freq * i / rate + phase)))
            for i in range(count)]


def extended(value):
    """80-bit IEEE extended, big-endian, for positive integral rates."""
    if value == 0:
        return b"\0" * 10
    exponent = value.bit_length() - 1
    mantissa = value << (63 - exponent)
    return struct.pack(">HQ", 16383 + exponent, mantissa)


def aiff(chunks, form=b"AIFF"):
    body = form + b"".join(chunks)
    return b"FORM" + struct.pack(">I", len(body)) + body


def comm(channels, frames, bits, rate_bytes):
    return chunk(b"COMM", struct.pack(">HIH", channels, frames, bits) + rate_bytes,
                 big_endian=True)


def ssnd(data, size=None):
    return chunk(b"SSND", b"\0" * 8 + data, size=None if size is None else size,
                 big_endian=True)


def sphere(fields, body, magic=b"NIST_1A\n   1024\n"):
    text = magic + b"".join(b"%s\n" % f for f in fields) + b"end_head\n"
    return text.ljust(1024, b" ") + body


def sox(args, name):
    subprocess.run(["sox", "-R", "-D", "-V1"] + args + [os.path.join(OUT, name)], check=True)


def make_wave():
    tone = pcm16(sine(2205, 22050, 441, 8000))
    write("pcm16_mono_22050.wav", riff([chunk(b"fmt ", fmt_body(1, 1, 22050, 16)),
                                         chunk(b"data", tone)]))
    write("pcm16_stereo_16000.wav", riff([chunk(b"fmt ", fmt_body(1, 2, 16000, 16)),
                                           chunk(b"data", pcm16([1000, 3000] * 1600))]))
    write("pcm16_3ch_8000.wav", riff([chunk(b"fmt ", fmt_body(1, 3, 8000, 16)),
                                       chunk(b"data", pcm16([300, 600, -2700] * 400))]))
    # Odd-length data: its pad byte must be skipped to find the LIST chunk behind it.
    write("pcm8_mono_8000.wav", riff([chunk(b"fmt ", fmt_body(1, 1, 8000, 8)),
                                       chunk(b"data", bytes([0, 128, 255])),
                                       chunk(b"LIST", b"INFOISFT\x05\0\0\0sox\0\0")]))
    write("pcm8_stereo_8000.wav", riff([chunk(b"fmt ", fmt_body(1, 2, 8000, 8)),
                                         chunk(b"data", bytes([100, 200] * 800))]))
    body = pcm16(sine(800, 8000, 250, 4000))
    write("list_chunks.wav", riff([chunk(b"LIST", b"INFOIART\x03\0\0\0ab\0"),
                                    chunk(b"fmt ", fmt_body(1, 1, 8000, 16)),
                                    chunk(b"fact", struct.pack("<I", 800)),
                                    chunk(b"odd ", b"xyz"),
                                    chunk(b"data", body),
                                    chunk(b"cue ", struct.pack("<I", 0)),
                                    chunk(b"junk", b"q")]))
    write("data_before_fmt.wav", riff([chunk(b"data", body),
                                        chunk(b"fmt ", fmt_body(1, 1, 8000, 16))]))
    write("zero_data.wav", riff([chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", b"")]))
    streamed = pcm16(sine(1000, 16000, 500, 3000))
    fmt16k = chunk(b"fmt ", fmt_body(1, 1, 16000, 16))
    write("stream_ffff.wav", riff([fmt16k, chunk(b"data", streamed, size=0xFFFFFFFF)],
                                  size=0xFFFFFFFF))
    write("stream_zero.wav", riff([fmt16k, chunk(b"data", streamed, size=0)], size=0))
    write("oversize_data.wav", riff([fmt16k, chunk(b"data", streamed[:1000], size=100000)]))
    whole = riff([fmt16k, chunk(b"data", streamed[:200])])
    write("truncated_fmt.wav", whole[:28])
    write("truncated_header.wav", whole[:10])
    write("not_wave.wav", b"RIFF" + struct.pack("<I", 16) + b"AVI " + chunk(b"avih", b"\0" * 8))
    write("text.wav", b"This is not a sound file, only some text with a .wav name.\n")
    write("float32.wav", riff([chunk(b"fmt ", fmt_body(3, 1, 16000, 32)),
                               chunk(b"data", struct.pack("<4f", 0.0, 0.5, -0.5, 0.25))]))
    write("zero_channels.wav", riff([chunk(b"fmt ", fmt_body(1, 0, 16000, 16)),
                                     chunk(b"data", streamed[:100])]))
    with tempfile.TemporaryDirectory() as tmp:
        mono = os.path.join(tmp, "mono.raw")
        with open(mono, "wb") as f:
            f.write(pcm16(sine(4000, 16000, 400, 12000)))
        stereo = os.path.join(tmp, "stereo.raw")
        left, right = sine(2000, 16000, 400, 12000), sine(2000, 16000, 400, 6000)
        with open(stereo, "wb") as f:
            f.write(pcm16([s for pair in zip(left, right) for s in pair]))
        raw16 = ["-t", "raw", "-r", "16000", "-e", "signed", "-b", "16"]
        sox(raw16 + ["-c", "1", mono, "-e", "ms-adpcm"], "adpcm_mono_16000.wav")
        sox(raw16 + ["-c", "2", stereo, "-e", "ms-adpcm"], "adpcm_stereo_16000.wav")
        sox(raw16 + ["-c", "2", stereo], "sox_pcm16_stereo_16000.wav")
        sox(raw16 + ["-c", "1", mono, "-t", "aiff"], "sox_mono_16000.aiff")
        sox(raw16 + ["-c", "1", mono, "-t", "aifc"], "sox_mono_16000.aifc")
        sox(raw16 + ["-c", "1", mono, "-r", "8000", "-t", "sph"], "sox_8000.sph")


RATE_44100 = bytes([0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0])


def make_aiff():
    frames = [v for i in range(1000) for v in (i - 500, 500 - i)]
    data = struct.pack(">%dh" % len(frames), *frames)
    write("aiff16_stereo_44100.aiff", aiff([comm(2, 1000, 16, RATE_44100), ssnd(data)]))
    signed8 = struct.pack(">4b", 0, -128, 127, 1)
    write("aiff8_mono_8000.aiff", aiff([chunk(b"NAME", b"odd", big_endian=True),
                                        comm(1, 4, 8, extended(8000)), ssnd(signed8),
                                        chunk(b"ANNO", b"x", big_endian=True)]))
    write("aiff_short_ssnd.aiff", aiff([comm(2, 1000, 16, RATE_44100), ssnd(data[:1002])]))
    write("aiff_ssnd_before_comm.aiff", aiff([ssnd(data[:400]), comm(2, 100, 16, RATE_44100)]))
    huge = bytes([0x7F, 0xFF]) + b"\0" * 8
    write("aiff_huge_rate.aiff", aiff([comm(1, 4, 16, huge), ssnd(b"\0" * 8)]))
    write("aiff_truncated.aiff", aiff([comm(1, 100, 16, extended(16000)),
                                       ssnd(b"\0" * 200)])[:30])
    write("aiffc_plain.aifc", aiff([comm(1, 4, 16, extended(16000)), ssnd(b"\0" * 8)],
                                   form=b"AIFC"))


def make_sphere():
    samples = sine(16000, 16000, 1000, 10000)
    write("sphere_16k.sph", sphere([b"sample_count -i 16000", b"sample_n_bytes -i 2",
                                    b"channel_count -i 1", b"sample_byte_format -s2 01",
                                    b"sample_rate -i 16000", b"sample_coding -s3 pcm"],
                                   pcm16(samples)))
    known = [1, -2, 300, -32768, 32767]
    write("sphere_be.sph", sphere([b"sample_n_bytes -i 2", b"sample_byte_format -s2 10",
                                   b"sample_rate -i 8000"],
                                  struct.pack(">5h", *known)))
    write("sphere_stereo.sph", sphere([b"channel_count -i 2", b"sample_rate -i 16000"],
                                      pcm16([100, -100, 200, -200, 300, -300])))
    write("sphere_defaults.sph", sphere([], pcm16(known)))
    write("sphere_shorten.sph", sphere([b"sample_coding -s26 pcm,embedded-shorten-v2.00",
                                        b"sample_n_bytes -i 2"], b"ajkg\x00\x01\x02\x03"))
    write("sphere_ulaw.sph", sphere([b"sample_coding -s4 ulaw", b"sample_n_bytes -i 1"],
                                    b"\xff\x7f\x00\x80"))
    write("sphere_badmagic.sph", sphere([], pcm16(known), magic=b"NIST_1A\n   1025\n"))
    write("sphere_short.sph", sphere([], b"")[:600])


SEEDS = {
    "fuzz_wav": ["pcm16_stereo_16000.wav", "pcm8_mono_8000.wav", "list_chunks.wav",
                 "adpcm_mono_16000.wav", "adpcm_stereo_16000.wav", "stream_zero.wav",
                 "oversize_data.wav", "float32.wav", "data_before_fmt.wav"],
    "fuzz_aiff": ["aiff8_mono_8000.aiff", "aiff_short_ssnd.aiff", "aiff_huge_rate.aiff",
                  "aiffc_plain.aifc", "sox_mono_16000.aiff"],
    "fuzz_sphere": ["sphere_be.sph", "sphere_stereo.sph", "sphere_defaults.sph",
                    "sphere_shorten.sph", "sox_8000.sph"],
}
SEED_LIMIT = 4096


def make_seeds():
    """Seeds are fixtures cut to a few kilobytes, enough to reach every chunk kind. Inputs that
    fuzzing added to a corpus folder stay."""
    for target, names in SEEDS.items():
        folder = os.path.join(CORPUS, target)
        os.makedirs(folder, exist_ok=True)
        for name in names:
            with open(os.path.join(OUT, name), "rb") as f:
                data = f.read(SEED_LIMIT)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


def main():
    if shutil.which("sox") is None:
        sys.exit("sox is needed for the real-tool fixtures")
    os.makedirs(OUT, exist_ok=True)
    make_wave()
    make_aiff()
    make_sphere()
    make_seeds()


if __name__ == "__main__":
    main()
