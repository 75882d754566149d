"""The program from start to end under Wine: log lines, windows, the movie
download, exit codes."""
import os
import tempfile
import unittest

import flash
from harness import MOVIE_PATH, ContentServer, in_order, prefix_path, run_program

PROGRESS_CLASS = "VX Installer Progress Window"
PROGRESS_CAPTION = "Initializing Brivola Desktop Installer ..."
MOVIE_FILE = prefix_path("C:/ProgramData/vxi/static/installerui.swf")


# A movie of ours that ends the program at once, so that each run ends.
QUIT_MOVIE = os.path.join(flash.MOVIES, "quit.movie")
LAST_LINE = "Static FINBOX destructor Complete"


def setUpModule():
    flash.register_flash()


def remove_movie():
    if os.path.exists(MOVIE_FILE):
        os.remove(MOVIE_FILE)


class StartupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        remove_movie()
        cls.root = flash.movie_root("quit.movie")
        with ContentServer(root=cls.root) as server:
            cls.run_ = run_program()
            cls.requests = server.requests()

    def test_ends_on_the_movies_quit_with_exit_code_zero(self):
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
        worker = ["Start of Main", "Getting ready to download swf", "Performing request",
                  "Response callback is ok", "File output complete", "Downloaded swf",
                  "Registering f-in-box plugin", "Killing the flash-less window",
                  "Killed the flash-less window"]
        self.assertTrue(in_order(lines, ["Window Creation complete"] + worker), lines)
        self.assertEqual(lines[0], "FINBOX static this")
        self.assertEqual(lines[1], "Registering window")
        self.assertEqual(lines[-1], LAST_LINE)
        self.assertNotIn("Flash is not already installed", lines)

    def test_lines_have_the_logger_layout(self):
        raw = self.run_.log
        self.assertTrue(raw.endswith("\n"))
        self.assertNotIn("\r", raw)
        # A movie call's text form is one log text of several lines ending in a line
        # feed: "Function name: ...", then "Arguments:" and a tab line per argument.
        for line in raw.split("\n")[:-1]:
            self.assertTrue(line.startswith("INFO: ") or line in ("", "Arguments:")
                            or line.startswith("\t"), line)

    def test_progress_window_was_shown(self):
        self.assertIn((PROGRESS_CLASS, PROGRESS_CAPTION), self.run_.windows)

    def test_movie_was_downloaded_to_the_data_folder(self):
        self.assertIn("GET /%s HTTP/1.1" % MOVIE_PATH, self.requests)
        with open(os.path.join(self.root, MOVIE_PATH), "rb") as f:
            expected = f.read()
        with open(MOVIE_FILE, "rb") as f:
            self.assertEqual(f.read(), expected)


class DownloadFailureTest(unittest.TestCase):
    def test_no_server_ends_in_one_error_box(self):
        # Nothing listens on the content server's port.
        run = run_program()
        url = os.environ["BRIVOLA_CONTENT_SERVER"] + "/" + MOVIE_PATH
        message = "Getting an input stream for %s failed" % url
        self.assertEqual(run.dialogs, [("Error", message)], run.log)
        self.assertEqual(run.exit_code, 1)
        lines = run.lines
        self.assertIn("Nice exception language: " + message, lines)
        self.assertNotIn("Downloaded swf", lines)
        self.assertIn("Killed the flash-less window", lines)
        self.assertNotIn("About to setup WinProc", lines)
        self.assertEqual(lines[-1], LAST_LINE)

    def test_status_other_than_200_goes_on_with_the_old_movie(self):
        os.makedirs(os.path.dirname(MOVIE_FILE), exist_ok=True)
        with open(QUIT_MOVIE, "rb") as f:
            older = f.read()
        with open(MOVIE_FILE, "wb") as f:
            f.write(older)
        with ContentServer(root=tempfile.mkdtemp()):  # serves nothing: 404
            run = run_program()
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertEqual(run.dialogs, [])
        self.assertIn("Response callback is not ok", run.lines)
        self.assertIn("Downloaded swf", run.lines)
        with open(MOVIE_FILE, "rb") as f:
            self.assertEqual(f.read(), older)


class ArgumentsTest(unittest.TestCase):
    def test_extra_arguments_change_nothing(self):
        with ContentServer(root=flash.movie_root("quit.movie")):
            run = run_program(["--silent", "C:\\some where", "/x"])
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertEqual(run.lines[-1], LAST_LINE)
        self.assertIn((PROGRESS_CLASS, PROGRESS_CAPTION), run.windows)


if __name__ == "__main__":
    unittest.main()
