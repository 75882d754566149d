#!/usr/bin/env python3
"""Writes the seed archives of the zip fuzz target into fuzz/zip/corpus/.

  fuzz/zip/make_corpus.py

Each seed is small and shows one shape the reader must handle (stored, deflated, ZIP64
fields, data descriptors, UTF-8 and code page 437 names, a comment) or one it must
refuse without writing (names leading outside, names Windows cannot hold, a wrong
checksum, a size that lies, overlapping entries, an encrypted entry, an unknown method).
The bytes are the same on every run. Inputs the fuzzer once found are kept beside these
under other names; this script leaves them alone.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def raw_deflate(data):
    z = zlib.compressobj(6, zlib.DEFLATED, -15)
    return z.compress(data) + z.flush()


class Entry:
    def __init__(self, name, data=b"", deflate=True, utf8=False, descriptor=False,
                 zip64=False, flags=0, method=None, crc_delta=0, size_delta=0, share=None):
        self.name = name.encode("utf-8") if isinstance(name, str) else name
        self.data = data
        self.deflate = deflate
        self.utf8 = utf8
        self.descriptor = descriptor
        self.zip64 = zip64
        self.flags = flags
        self.method = method
        self.crc_delta = crc_delta
        self.size_delta = size_delta
        self.share = share  # index of an earlier entry whose local data this one points at


def archive(entries, comment=b""):
    out = b""
    central = b""
    offsets = []
    for e in entries:
        packed = raw_deflate(e.data) if e.deflate else e.data
        crc = (zlib.crc32(e.data) + e.crc_delta) & 0xFFFFFFFF
        size = len(e.data) + e.size_delta
        method = e.method if e.method is not None else (8 if e.deflate else 0)
        flags = e.flags | (0x0800 if e.utf8 else 0) | (0x0008 if e.descriptor else 0)
        if e.share is not None:
            offset = offsets[e.share]
        else:
            offset = len(out)
            extra = struct.pack("<HHQQ", 1, 16, size, len(packed)) if e.zip64 else b""
            big = 0xFFFFFFFF
            local_sizes = (0, 0) if e.descriptor else \
                ((big, big) if e.zip64 else (len(packed), size))
            out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, flags, method, 0, 0,
                               0 if e.descriptor else crc, local_sizes[0], local_sizes[1],
                               len(e.name), len(extra))
            out += e.name + extra + packed
            if e.descriptor:
                out += struct.pack("<IIII", 0x08074B50, crc, len(packed), size)
        offsets.append(offset)
        extra = struct.pack("<HHQQQ", 1, 24, size, len(packed), offset) if e.zip64 else b""
        big = 0xFFFFFFFF
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, flags, method, 0, 0,
                               crc, big if e.zip64 else len(packed), big if e.zip64 else size,
                               len(e.name), len(extra), 0, 0, 0, 0,
                               big if e.zip64 else offset)
        central += e.name + extra
    directory_offset = len(out)
    out += central
    if any(e.zip64 for e in entries):
        zip64_end = len(out)
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, len(entries),
                           len(entries), len(central), directory_offset)
        out += struct.pack("<IIQI", 0x07064B50, 0, zip64_end, 1)
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                           0xFFFFFFFF, len(comment))
    else:
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                           len(central), directory_offset, len(comment))
    return out + comment


TEXT = b"The quick brown fox jumps over the lazy dog.\r\n" * 20
NOISE = bytes((i * 7919 + 13) % 251 for i in range(600))

SEEDS = {
    "stored.zip": [Entry("readme.txt", TEXT, deflate=False)],
    "deflated.zip": [Entry("docs/", deflate=False), Entry("docs/a.txt", TEXT),
                     Entry("docs/b.bin", NOISE)],
    "zip64.zip": [Entry("big/one.txt", TEXT, zip64=True), Entry("two.bin", NOISE, zip64=True,
                                                                deflate=False)],
    "descriptor.zip": [Entry("streamed.txt", TEXT, descriptor=True),
                       Entry("streamed.bin", NOISE, descriptor=True)],
    "utf8_name.zip": [Entry("d\u00e9j\u00e0/\u65e5\u672c.txt", TEXT, utf8=True)],
    "cp437_name.zip": [Entry(b"caf\x82/na\x8bve.txt", TEXT)],
    "comment.zip": ([Entry("a.txt", b"abc")], b"an archive comment"),
    "traversal.zip": [Entry("../escaped.txt", TEXT), Entry("a/../../up.txt", TEXT),
                      Entry("..\\back.txt", TEXT), Entry("/abs.txt", TEXT),
                      Entry("C:drive.txt", TEXT), Entry("\\\\server\\share\\x.txt", TEXT),
                      Entry("inside.txt", TEXT)],
    "windows_names.zip": [Entry("CON", b"x"), Entry("nul.txt", b"x"), Entry("dot./a", b"x"),
                          Entry("blank /a", b"x"), Entry("a:stream", b"x"),
                          Entry("q?.txt", b"x"), Entry("tab\t.txt", b"x"),
                          Entry("fine.txt", b"x")],
    "bad_crc.zip": [Entry("crc.txt", TEXT, crc_delta=1), Entry("ok.txt", b"ok")],
    "size_lies.zip": [Entry("short.txt", TEXT, size_delta=-5),
                      Entry("long.txt", TEXT, size_delta=5),
                      Entry("stored_long.txt", TEXT, deflate=False, size_delta=3)],
    "overlap.zip": [Entry("first.txt", TEXT), Entry("second.txt", TEXT, share=0)],
    "encrypted.zip": [Entry("secret.txt", TEXT, flags=1), Entry("plain.txt", b"p")],
    "unknown_method.zip": [Entry("bz.txt", TEXT, method=12), Entry("plain.txt", b"p")],
    "same_name.zip": [Entry("twice.txt", b"first"), Entry("twice.txt", b"second one"),
                      Entry("file/", deflate=False), Entry("file", b"not a folder")],
}


def main():
    os.makedirs(CORPUS, exist_ok=True)
    for name, seed in SEEDS.items():
        entries, comment = seed if isinstance(seed, tuple) else (seed, b"")
        with open(os.path.join(CORPUS, name), "wb") as f:
            f.write(archive(entries, comment))


if __name__ == "__main__":
    main()
