#!/usr/bin/env python3
"""Writes the benchmark corpora of bench/run; the same bytes on every run.

    make_corpus.py mixed FOLDER   about 300 MB: text files, binaries, one 100 MB file
    make_corpus.py small FOLDER   20,000 files of 1-4 KB
    make_corpus.py large FOLDER   one 2 GiB file of text, records and noise

Every file gets the same modification time, so archives of the corpus are
comparable byte for byte between runs. A finished corpus gets a stamp file
beside its folder (FOLDER.stamp); a folder with a matching stamp is left as it
is.
"""

import math
import os
import random
import shutil
import struct
import sys

VERSION = "tarvik-bench-corpus 1"
MTIME = 1672531200  # 2023-01-01 00:00:00 UTC
MIB = 1 << 20


def vocabulary(rng, count):
    consonants = "bcdfghjklmnprstvwz"
    vowels = "aeiou"
    words = set()
    while len(words) < count:
        syllables = rng.choice((1, 1, 2, 2, 2, 3, 3, 4))
        words.add("".join(rng.choice(consonants) + rng.choice(vowels) +
                          (rng.choice(consonants) if rng.random() < 0.3 else "")
                          for _ in range(syllables)))
    words = sorted(words)
    rng.shuffle(words)
    return words


class Text:
    """Prose, log lines, CSV rows and code-like lines from fixed pools."""

    def __init__(self, rng):
        self.rng = rng
        words = vocabulary(rng, 4000)
        # Zipf-like weights: a few words are common, most are rare.
        weights = [1.0 / (i + 1) for i in range(len(words))]
        self.sentences = []
        for _ in range(40000):
            n = rng.randint(5, 18)
            s = " ".join(rng.choices(words, weights, k=n))
            self.sentences.append(s[0].upper() + s[1:] + rng.choice(".....?!;"))
        self.identifiers = ["_".join(rng.choices(words[:600], k=rng.randint(1, 3)))
                            for _ in range(3000)]
        self.messages = [" ".join(rng.choices(words[:1500], k=rng.randint(3, 9)))
                         for _ in range(2000)]

    def prose(self, size):
        rng, out, n = self.rng, [], 0
        while n < size:
            para = " ".join(rng.choices(self.sentences, k=rng.randint(2, 9)))
            out.append(para)
            n += len(para) + 2
        return "\n\n".join(out)

    def log(self, size):
        rng, out, n = self.rng, [], 0
        t = rng.randint(1_600_000_000, 1_700_000_000)
        levels = ("INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR")
        while n < size:
            t += rng.randint(0, 40)
            line = "%d.%03d %-5s [%s] %s (code=%d, took %d ms)" % (
                t, rng.randint(0, 999), rng.choice(levels), rng.choice(self.identifiers),
                rng.choice(self.messages), rng.randint(0, 600), rng.randint(0, 20000))
            out.append(line)
            n += len(line) + 1
        return "\n".join(out)

    def csv(self, size):
        rng, out, n = self.rng, ["id,name,amount,ratio,count,flag"], 0
        row = 0
        while n < size:
            row += 1
            line = "%d,%s,%.2f,%.5f,%d,%s" % (
                row, rng.choice(self.identifiers), rng.uniform(0, 100000), rng.random(),
                rng.randint(0, 5000), rng.choice("YN"))
            out.append(line)
            n += len(line) + 1
        return "\n".join(out)

    def code(self, size):
        rng, out, n, depth = self.rng, [], 0, 0
        keywords = ("if", "for", "while", "return", "let", "const", "switch", "case")
        while n < size:
            kind = rng.random()
            if kind < 0.15 and depth < 6:
                line = "%s%s %s(%s) {" % ("    " * depth, rng.choice(keywords),
                                         rng.choice(self.identifiers),
                                         ", ".join(rng.choices(self.identifiers, k=rng.randint(0, 3))))
                depth += 1
            elif kind < 0.3 and depth > 0:
                depth -= 1
                line = "    " * depth + "}"
            elif kind < 0.4:
                line = "%s// %s" % ("    " * depth, rng.choice(self.sentences))
            else:
                line = "%s%s = %s(%s, %d);" % ("    " * depth, rng.choice(self.identifiers),
                                              rng.choice(self.identifiers),
                                              rng.choice(self.identifiers), rng.randint(0, 9999))
            out.append(line)
            n += len(line) + 1
        return "\n".join(out)

    def any(self, size):
        return self.rng.choice((self.prose, self.log, self.csv, self.code))(size)


def records(rng, size):
    """Fixed-width binary records: small integers, timestamps, floats."""
    count = size // 32 + 1
    base = rng.randint(1_500_000_000, 1_700_000_000)
    parts = []
    for i in range(count):
        parts.append(struct.pack("<IIHHdq", i, base + i * rng.randint(1, 5),
                                 rng.randint(0, 300), rng.randint(0, 3),
                                 round(rng.uniform(0, 1000), 2), rng.randint(-5000, 5000)))
    return b"".join(parts)[:size]


def executable_like(rng, size):
    """Runs of noise, zero padding and repeated tables, like compiled code."""
    out, n = [], 0
    table = rng.randbytes(4096)
    while n < size:
        kind = rng.random()
        length = rng.randint(256, 16384)
        if kind < 0.45:
            chunk = rng.randbytes(length)
        elif kind < 0.6:
            chunk = bytes(length)
        else:
            start = rng.randint(0, 2048)
            chunk = (table[start:start + rng.randint(64, 2048)] * 64)[:length]
        out.append(chunk)
        n += len(chunk)
    return b"".join(out)[:size]


def binary(rng, size):
    kind = rng.random()
    if kind < 0.35:
        return rng.randbytes(size)  # already compressed: images, archives
    if kind < 0.7:
        return records(rng, size)
    return executable_like(rng, size)


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (MTIME, MTIME))
    return len(data)


def mixed(folder):
    rng = random.Random(20240601)
    text = Text(rng)
    total = 0
    extensions = {text.prose: "txt", text.log: "log", text.csv: "csv", text.code: "c"}
    for i in range(3000):
        kind = rng.choice((text.prose, text.log, text.csv, text.code))
        size = log_uniform(rng, 1000, 200_000)
        path = os.path.join(folder, "docs", "d%02d" % (i % 40), "s%d" % (i % 7),
                            "file%04d.%s" % (i, extensions[kind]))
        total += write(path, kind(size))
    for i in range(300):
        size = log_uniform(rng, 10_000, 1_500_000)
        path = os.path.join(folder, "bin", "b%d" % (i % 10), "blob%03d.bin" % i)
        total += write(path, binary(rng, size))
    # One 100 MB file: text, records and noise in pieces of 64 KiB to 1 MiB.
    path = os.path.join(folder, "big", "mixed.dat")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        left = 100 * MIB
        while left > 0:
            size = min(left, rng.randint(64 * 1024, MIB))
            kind = rng.random()
            if kind < 0.55:
                chunk = text.any(size).encode()[:size]
            elif kind < 0.8:
                chunk = records(rng, size)
            else:
                chunk = rng.randbytes(size)
            f.write(chunk)
            left -= len(chunk)
    os.utime(path, (MTIME, MTIME))
    return total + 100 * MIB


def small(folder):
    rng = random.Random(20240602)
    text = Text(rng)
    total = 0
    for i in range(20000):
        size = rng.randint(1024, 4096)
        data = text.any(size).encode()[:size] if rng.random() < 0.85 else binary(rng, size)
        path = os.path.join(folder, "f%03d" % (i // 100), "n%05d.%s" % (i, "txt" if i % 5 else "dat"))
        total += write(path, data)
    return total


def large(folder):
    """2 GiB from 32 different 1 MiB blocks in a fixed shuffled order."""
    rng = random.Random(20240603)
    text = Text(rng)
    blocks = []
    for i in range(32):
        kind = i % 4
        if kind < 2:
            blocks.append(text.any(MIB).encode()[:MIB])
        elif kind == 2:
            blocks.append(records(rng, MIB))
        else:
            blocks.append(rng.randbytes(MIB))
    path = os.path.join(folder, "big.dat")
    with open(path, "wb") as f:
        for _ in range(2048):
            f.write(rng.choice(blocks))
    os.utime(path, (MTIME, MTIME))
    return 2048 * MIB


KINDS = {"mixed": mixed, "small": small, "large": large}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in KINDS:
        sys.stderr.write(__doc__)
        return 2
    kind, folder = sys.argv[1], sys.argv[2]
    stamp = folder.rstrip("/") + ".stamp"
    want = "%s %s\n" % (VERSION, kind)
    try:
        with open(stamp) as f:
            if f.read() == want:
                return 0
    except OSError:
        pass
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    total = KINDS[kind](folder)
    with open(stamp, "w") as f:
        f.write(want)
    print("%s corpus: %d bytes in %s" % (kind, total, folder))
    return 0


if __name__ == "__main__":
    sys.exit(main())
