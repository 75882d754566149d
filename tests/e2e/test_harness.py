"""The debug-output monitor itself, and the shape of the program binary."""
import os
import re
import subprocess
import unittest

from harness import run_program


class MonitorTest(unittest.TestCase):
    def test_collects_lines_exactly_and_passes_the_exit_code_on(self):
        run = run_program(["7"], timeout=60, exe=os.environ["BRIVOLA_DEBUG_LINES_EXE"])
        self.assertEqual(run.exit_code, 7)
        lines = run.log.split("\n")
        self.assertEqual(lines[0], "INFO: first")
        self.assertTrue(lines[1].startswith('INFO: <invoke name="tulip.vxcore.install.DoMetaInstall">'))
        self.assertTrue(lines[1].endswith("<string>199</string></invoke>"))
        self.assertGreater(len(lines[1]), 3000)
        self.assertEqual(lines[2], 'INFO: quotes " and \\ backslashes, tabs\tand UTF-8 \u00e9')
        self.assertEqual(lines[3:], ["INFO: last", ""])


class BinaryTest(unittest.TestCase):
    """A 32-bit GUI program that needs nothing but the system's own DLLs."""

    SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll",
                   "oleaut32.dll", "shell32.dll", "advapi32.dll", "ws2_32.dll", "msvcrt.dll",
                   "shlwapi.dll", "version.dll", "uuid.dll"}

    @classmethod
    def setUpClass(cls):
        cls.dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", os.environ["BRIVOLA_EXE"]],
                                  capture_output=True, text=True, check=True).stdout

    def test_pe32_gui_program(self):
        self.assertIn("file format pei-i386", self.dump)
        self.assertRegex(self.dump, r"Subsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_system_dlls(self):
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertTrue(dlls)
        self.assertLessEqual(dlls, self.SYSTEM_DLLS)

    def test_carries_icon_version_and_manifest(self):
        build = os.environ["BRIVOLA_BUILD_DIR"]
        res = os.path.join(build, "e2e-resources.txt")
        # windres reads the resources back out of the finished program.
        out = subprocess.run(["i686-w64-mingw32-windres", "-i", os.environ["BRIVOLA_EXE"],
                              "-O", "rc", "-o", res], capture_output=True, text=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        with open(res, encoding="utf-8", errors="replace") as f:
            rc = f.read()
        self.assertRegex(rc, r'"IDI_ICON1" 14 /\* RT_GROUP_ICON')
        self.assertIn("VERSIONINFO", rc)
        self.assertIn('"FileDescription", "Brivola Desktop Installer"', rc)
        self.assertRegex(rc, r"\n1 24 /\* RT_MANIFEST")
        with open(os.environ["BRIVOLA_EXE"], "rb") as f:
            self.assertIn(b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', f.read())


if __name__ == "__main__":
    unittest.main()
