#!/usr/bin/env python3
"""Makes the two archives of the extraction benchmark, unless they are there already.

  make_archives.py FOLDER

FOLDER/many-small-v1.zip: about 16,000 text-like files (source-code-like lines of
  words, names and numbers) in a tree of about 400 folders, from a few hundred bytes
  to some hundred kilobytes, about 350 MB unpacked, deflated.
FOLDER/few-large-v1.zip: six binary-like files of about 50 MB, about 300 MB unpacked:
  in each, 1 MiB stretches of random bytes (incompressible) alternate with 1 MiB
  stretches of structured records (tables of small numbers and repeated fields,
  compressible), half and half; deflated.
The same bytes on every run (seeded); each archive is written under a temporary name and
renamed, so an interrupted run leaves no archive that looks complete.
"""
import os
import random
import struct
import sys
import zipfile

FIXED_TIME = (2010, 3, 1, 9, 30, 0)
SMALL = "many-small-v1.zip"
LARGE = "few-large-v1.zip"
MIB = 1024 * 1024


def add(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data, compresslevel=6)


def text_pool(rng, size):
    words = ["import", "def", "return", "self", "class", "value", "path", "config", "install",
             "search", "module", "for", "in", "if", "else", "None", "True", "False", "while",
             "index", "buffer", "entry", "folder", "result", "error", "count", "name", "data",
             "offset", "size", "stream", "reader", "writer", "update", "version", "item"]
    lines = []
    total = 0
    while total < size:
        indent = "    " * rng.randint(0, 3)
        parts = []
        for _ in range(rng.randint(2, 11)):
            roll = rng.random()
            if roll < 0.75:
                parts.append(rng.choice(words))
            elif roll < 0.9:
                parts.append("%s_%d" % (rng.choice(words), rng.randint(0, 999)))
            else:
                parts.append(str(rng.randint(0, 1 << 20)))
        line = indent + " ".join(parts) + "\n"
        lines.append(line)
        total += len(line)
    return "".join(lines).encode("ascii")


def many_small(path):
    rng = random.Random(16000)
    pool = text_pool(rng, 8 * MIB)
    folders = []
    for top in range(20):
        for sub in range(20):
            folders.append("tree/pkg%02d/mod%02d/" % (top, sub))
    with zipfile.ZipFile(path, "w", allowZip64=True) as z:
        for folder in folders:
            z.writestr(zipfile.ZipInfo(folder, FIXED_TIME), b"")
        for k in range(16000):
            # Mostly small files, a few large ones: about 22 kB on average.
            size = int(min(rng.lognormvariate(9.5, 1.0), 400_000)) + 200
            start = rng.randrange(0, len(pool) - size)
            name = "%sfile%05d.%s" % (folders[k % len(folders)], k, rng.choice(["py", "txt", "xml"]))
            header = ("# %s\n" % name).encode("ascii")
            add(z, name, header + pool[start:start + size])


def structured(rng, size):
    # Records of a fixed layout: a counter, a few small numbers, a repeated tag.
    out = bytearray()
    counter = rng.randint(0, 1000)
    tag = b"REC:" + bytes(rng.choice(b"ABCDEFGH") for _ in range(4))
    while len(out) < size:
        counter += 1
        out += struct.pack("<IHHhh8s", counter, rng.randint(0, 50), rng.randint(0, 7),
                           rng.randint(-100, 100), 0, tag)
    return bytes(out[:size])


def few_large(path):
    rng = random.Random(300)
    # A handful of record stretches, reused: deflate sees 32 kB back, never a repeat.
    records = [structured(rng, MIB) for _ in range(7)]
    with zipfile.ZipFile(path, "w", allowZip64=True) as z:
        for k in range(6):
            chunks = []
            for i in range(50):
                if i % 2 == 0:
                    chunks.append(rng.randbytes(MIB))
                else:
                    chunks.append(records[(k + i) % len(records)])
            add(z, "media/large%d.bin" % k, b"".join(chunks))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_archives.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, make in ((SMALL, many_small), (LARGE, few_large)):
        target = os.path.join(folder, name)
        if os.path.exists(target):
            continue
        print("bench extract: making %s (once; kept in %s)" % (name, folder), file=sys.stderr)
        make(target + ".tmp")
        os.replace(target + ".tmp", target)


if __name__ == "__main__":
    main()
