"""The shape of the program binary, read from the file without running it: a GUI
program of this build's architecture that needs nothing but the system's own DLLs.
The shipped 32-bit program is checked here also where 32-bit programs cannot run."""
import os
import re
import subprocess
import unittest

BINUTILS = os.environ.get("BRIVOLA_BINUTILS_PREFIX", "i686-w64-mingw32")
FILE_FORMAT = {"i686-w64-mingw32": "pei-i386", "x86_64-w64-mingw32": "pei-x86-64"}[BINUTILS]
MANIFEST_ARCH = {"i686-w64-mingw32": b"x86", "x86_64-w64-mingw32": b"amd64"}[BINUTILS]


class BinaryTest(unittest.TestCase):
    SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll",
                   "oleaut32.dll", "shell32.dll", "advapi32.dll", "ws2_32.dll", "msvcrt.dll",
                   "shlwapi.dll", "version.dll", "uuid.dll"}

    @classmethod
    def setUpClass(cls):
        cls.dump = subprocess.run([BINUTILS + "-objdump", "-p", os.environ["BRIVOLA_EXE"]],
                                  capture_output=True, text=True, check=True).stdout

    def test_gui_program_of_this_architecture(self):
        self.assertIn("file format " + FILE_FORMAT, self.dump)
        self.assertRegex(self.dump, r"Subsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_system_dlls(self):
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertTrue(dlls)
        self.assertLessEqual(dlls, self.SYSTEM_DLLS)

    def test_carries_icon_version_and_manifest(self):
        build = os.environ["BRIVOLA_BUILD_DIR"]
        res = os.path.join(build, "e2e-resources.txt")
        # windres reads the resources back out of the finished program.
        out = subprocess.run([BINUTILS + "-windres", "-i", os.environ["BRIVOLA_EXE"],
                              "-O", "rc", "-o", res], capture_output=True, text=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        with open(res, encoding="utf-8", errors="replace") as f:
            rc = f.read()
        self.assertRegex(rc, r'"IDI_ICON1" 14 /\* RT_GROUP_ICON')
        self.assertIn("VERSIONINFO", rc)
        self.assertIn('"FileDescription", "Brivola Desktop Installer"', rc)
        self.assertRegex(rc, r"\n1 24 /\* RT_MANIFEST")
        with open(os.environ["BRIVOLA_EXE"], "rb") as f:
            image = f.read()
        self.assertIn(b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', image)
        # The program and the controls it binds to are of this build's architecture.
        manifest = image[image.index(b"<assembly"):image.index(b"</assembly>")]
        self.assertEqual(re.findall(rb'processorArchitecture="([^"]*)"', manifest),
                         [MANIFEST_ARCH, MANIFEST_ARCH])


if __name__ == "__main__":
    unittest.main()
