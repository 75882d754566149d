#!/usr/bin/env python3
"""Packs the stand-in content the program downloads, into a content folder.

  make_core_archives.py CONTENT INSTALLER_EXE DOTNET_EXE

CONTENT/apps/core/4.2/common/installer.zip holds the product installer as
Installer.exe; dependencies.zip beside it a payload shaped like a real one (a
Python library tree, binaries, data files: a few hundred files in nested folders,
text and incompressible bytes, stored and deflated), the same bytes on every run.
The .NET Framework package goes to its download path. Test and demo content only.
"""
import os
import random
import shutil
import sys
import zipfile

CORE = os.path.join("apps", "core", "4.2", "common")
DOTNET = os.path.join("download", "5", "6", "7", "567758A3-759E-473E-BF8F-52154438565A", "dotnetfx.exe")
FIXED_TIME = (2009, 6, 1, 12, 0, 0)


def add(archive, name, data, compress=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = compress
    info.external_attr = 0o644 << 16
    archive.writestr(info, data)


def dependencies(path):
    rng = random.Random(4242)
    words = ["import", "def", "return", "self", "class", "value", "path", "config", "install",
             "search", "brivola", "module", "for", "in", "if", "else", "None", "True"]
    with zipfile.ZipFile(path + ".tmp", "w") as z:
        for package in ["encodings", "email", "xml/dom", "xml/sax", "logging", "distutils/command",
                        "vxcore", "vxcore/search", "vxcore/install", "pyvxcore"]:
            z.writestr(zipfile.ZipInfo("python25/Lib/%s/" % package, FIXED_TIME), b"")
            for k in range(rng.randint(18, 30)):
                lines = [" ".join(rng.choice(words) for _ in range(rng.randint(3, 12)))
                         for _ in range(rng.randint(10, 200))]
                add(z, "python25/Lib/%s/module_%02d.py" % (package, k), ("\n".join(lines) + "\n").encode())
        for k in range(40):
            size = rng.randint(2000, 120000)
            add(z, "bin/lib%02d.dll" % k, bytes(rng.getrandbits(8) for _ in range(size)),
                zipfile.ZIP_STORED if k % 3 == 0 else zipfile.ZIP_DEFLATED)
        for k in range(30):
            add(z, "data/strings/lang_%02d.txt" % k, ("msg%d = text %d\n" % (k, k) * 300).encode())
        add(z, "data/empty.txt", b"")
        add(z, "README.txt", b"Brivola core dependencies (test content)\r\n")
    os.replace(path + ".tmp", path)


def installer(path, exe):
    with zipfile.ZipFile(path + ".tmp", "w") as z:
        with open(exe, "rb") as f:
            add(z, "Installer.exe", f.read())
        add(z, "installer.cfg", b"version = 4.2\n")
    os.replace(path + ".tmp", path)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    content, installer_exe, dotnet_exe = argv
    core = os.path.join(content, CORE)
    os.makedirs(core, exist_ok=True)
    installer(os.path.join(core, "installer.zip"), installer_exe)
    dependencies(os.path.join(core, "dependencies.zip"))
    target = os.path.join(content, DOTNET)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(dotnet_exe, target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
