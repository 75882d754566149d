"""The shape of the player library and the stand-in Flash Player installer, read
from the files without running them: the ten entry points under their exact,
undecorated names (also for the 32-bit stdcall build), and nothing but the system's
own DLLs imported."""
import os
import re
import subprocess
import unittest

BINUTILS = os.environ.get("BRIVOLA_BINUTILS_PREFIX", "i686-w64-mingw32")
FILE_FORMAT = {"i686-w64-mingw32": "pei-i386", "x86_64-w64-mingw32": "pei-x86-64"}[BINUTILS]
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "msvcrt.dll"}
ENTRY_POINTS = {"FPCIsFlashInstalled", "GetInstalledFlashVersion", "FPC_LoadRegisteredOCX",
                "FPC_CreateWindowA", "FPC_SetContext", "FPCSetEventListener", "FPC_LoadMovieA",
                "FPC_PutAllowScriptAccessA", "FPCCallFunctionA", "FPCSetReturnValueA"}


def dump(path):
    return subprocess.run([BINUTILS + "-objdump", "-p", path],
                          capture_output=True, text=True, check=True).stdout


class PlayerLibraryShape(unittest.TestCase):
    def test_exports_exactly_the_ten_names(self):
        text = dump(os.environ["BRIVOLA_PLAYER_DLL"])
        self.assertIn("file format " + FILE_FORMAT, text)
        table = text.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        names = set(re.findall(r"\]\s+(\S+)", table))
        self.assertEqual(names, ENTRY_POINTS)

    def test_imports_only_system_dlls(self):
        for path in (os.environ["BRIVOLA_PLAYER_DLL"], os.environ["BRIVOLA_FLASH_INSTALLER_EXE"]):
            dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump(path))}
            self.assertTrue(dlls, path)
            self.assertLessEqual(dlls, SYSTEM_DLLS, path)

    def test_installer_is_a_console_program(self):
        text = dump(os.environ["BRIVOLA_FLASH_INSTALLER_EXE"])
        self.assertIn("file format " + FILE_FORMAT, text)
        self.assertRegex(text, r"Subsystem\s+00000003\s+\(Windows CUI\)")


if __name__ == "__main__":
    unittest.main()
