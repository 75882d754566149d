"""The program from start to end under Wine: log lines, windows, exit code."""
import unittest

from harness import in_order, run_program

PROGRESS_CLASS = "VX Installer Progress Window"
PROGRESS_CAPTION = "Initializing Brivola Desktop Installer ..."


class StartupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.run_ = run_program()

    def test_ends_like_a_quit_with_exit_code_zero(self):
        self.assertFalse(self.run_.timed_out, self.run_.log)
        self.assertEqual(self.run_.exit_code, 0, self.run_.log)
        self.assertEqual(self.run_.dialogs, [])

    def test_start_up_lines_in_their_order(self):
        lines = self.run_.lines
        # The main thread's lines, in order.
        main_thread = ["Registering window", "Component created successfully",
                       "Component created successfully", "Showing window", "Updating window",
                       "Window Creation complete", "Starting Message Loop"]
        self.assertTrue(in_order(lines, main_thread), lines)
        # The worker's, in order; it starts once the window is up, so its lines may
        # interleave with "Starting Message Loop" but never with the window's.
        worker = ["Start of Main", "Getting ready to download swf", "Downloaded swf",
                  "Registering f-in-box plugin", "Killing the flash-less window",
                  "Killed the flash-less window"]
        self.assertTrue(in_order(lines, ["Window Creation complete"] + worker), lines)
        self.assertEqual(lines[0], "Registering window")
        self.assertEqual(lines[-1], "Killed the flash-less window")
        self.assertNotIn("Flash is not already installed", lines)

    def test_lines_have_the_logger_layout(self):
        raw = self.run_.log
        self.assertTrue(raw.endswith("\n"))
        self.assertNotIn("\r", raw)
        for line in raw.split("\n")[:-1]:
            self.assertTrue(line.startswith("INFO: "), line)

    def test_progress_window_was_shown(self):
        self.assertIn((PROGRESS_CLASS, PROGRESS_CAPTION), self.run_.windows)


class ArgumentsTest(unittest.TestCase):
    def test_extra_arguments_change_nothing(self):
        run = run_program(["--silent", "C:\\some where", "/x"])
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertEqual(run.lines[-1], "Killed the flash-less window")
        self.assertIn((PROGRESS_CLASS, PROGRESS_CAPTION), run.windows)


if __name__ == "__main__":
    unittest.main()
