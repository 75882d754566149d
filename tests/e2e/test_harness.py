"""The debug-output monitor itself."""
import os
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


if __name__ == "__main__":
    unittest.main()
