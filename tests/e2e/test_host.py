"""The whole start-up and the movie's host window: the real program under Wine with
the player library, movies of tests/e2e/movies, the stand-in Flash Player installer."""
import os
import re
import subprocess
import tempfile
import time
import unittest

import flash
from harness import ContentServer, in_order, prefix_path, run_program, windows_path, wine_loader

HOST_CLASS = "BrivolaFlashPlayerControl"
TITLE = "Brivola Desktop Installer"
WIDTH, HEIGHT = 520, 420
SEAMS = os.environ.get("BRIVOLA_TEST_SEAMS") == "ON"


def play(movie=None, data=None, flash_installer=None, timeout=90, **extra_env):
    """Serves the movie, runs the program and returns (run, transcript, requests)."""
    workdir = tempfile.mkdtemp(prefix="brivola-host-")
    with ContentServer(root=flash.movie_root(movie, data), flash_installer=flash_installer) as server:
        run = run_program(timeout=timeout, workdir=workdir, env=flash.player_env(workdir, **extra_env))
        requests = server.requests()
    return run, flash.transcript(workdir), requests


def windows_file(path_text):
    """Where a C:\\ path of the program lies in the prefix."""
    return prefix_path(path_text.replace("\\", "/"))


class FlashPresentTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        flash.register_flash()
        if os.path.exists(flash.TRUST_FILE):
            os.remove(flash.TRUST_FILE)
        started = time.monotonic()
        cls.run_, cls.transcript, cls.requests = play("startup.movie")
        cls.seconds = time.monotonic() - started

    def test_start_up_in_order_and_quit_with_zero(self):
        self.assertFalse(self.run_.timed_out, self.run_.log)
        self.assertEqual(self.run_.exit_code, 0, self.run_.log)
        self.assertEqual(self.run_.dialogs, [])
        lines = self.run_.lines
        self.assertEqual(lines[0], "FINBOX static this")
        # The worker's lines, in order; the host window's come after the worker's last
        # stage and may interleave with its closing of the progress window.
        worker = [
            "FINBOX static this", "Registering window", "Window Creation complete",
            "Start of Main", "Flash Version: 10.0", "Getting ready to download swf",
            "Downloaded swf", "Flash trust file being written", "Flash trust file is written",
            "Registering f-in-box plugin", "Killing the flash-less window",
            "Killed the flash-less window"]
        host = [
            "Registering f-in-box plugin", "About to setup WinProc",
            "Finished setting up WinProc", "Got a Flash Call", "Got an FSCommand",
            "Got a Quit Command", "Static FINBOX destructor", "Successfully deleted finbox dll",
            "Static FINBOX destructor Complete"]
        self.assertTrue(in_order(lines, worker), "\n".join(lines))
        self.assertTrue(in_order(lines, host), "\n".join(lines))
        self.assertLess(lines.index("Killed the flash-less window"),
                        lines.index("Static FINBOX destructor"))
        self.assertEqual(lines[-1], "Static FINBOX destructor Complete")
        self.assertNotIn("Flash is not already installed", lines)
        self.assertNotIn("Flash install starting", lines)
        self.assertFalse(any("install_flash_player" in r for r in self.requests), self.requests)
        # The pause when Flash Player was there already.
        self.assertGreaterEqual(self.seconds, 4.0)

    def test_host_window_class_size_and_centred_position(self):
        self.assertIn((HOST_CLASS, TITLE), self.run_.windows)
        lines = self.run_.lines
        after = lines[lines.index("Finished setting up WinProc"):]
        desktop = [l for l in after if re.fullmatch(r"-?\d+, -?\d+, -?\d+, -?\d+, ", l)]
        self.assertTrue(desktop, lines)
        left, right, top, bottom = [int(v) for v in desktop[0].split(", ")[:4]]
        self.assertIn("window %d %d" % ((right - WIDTH) // 2, (bottom - HEIGHT) // 2),
                      self.transcript)
        self.assertIn("create " + TITLE, self.transcript)
        self.assertTrue(any(l.startswith("Appwindow HWND: ") for l in self.run_.lines))

    def test_movie_calls_are_answered(self):
        t = self.transcript
        self.assertIn("expect ok <string>VXInstaller</string>", t)
        # The unknown name and the four broken requests: null, and the movie went on.
        self.assertEqual(t.count("expect ok <null/>"), 5, "\n".join(t))
        self.assertFalse(any(l.startswith("fail ") for l in t), "\n".join(t))
        self.assertTrue(any(l.startswith("fscommand quit") for l in t), "\n".join(t))

    def test_the_library_file_is_gone(self):
        deleting = [l for l in self.run_.lines if l.startswith("Deleting finbox dll: ")]
        self.assertEqual(len(deleting), 1)
        path = windows_file(deleting[0][len("Deleting finbox dll: "):])
        self.assertFalse(os.path.exists(path), path)

    def test_trust_file_has_one_line_and_a_second_run_keeps_it(self):
        with open(flash.TRUST_FILE, "rb") as f:
            self.assertEqual(f.read(), b"C:/ProgramData/vxi/static\r\n")
        run, _, _ = play("quit.movie")
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertIn("Flash trust file being written", run.lines)
        self.assertNotIn("Flash trust file is written", run.lines)
        with open(flash.TRUST_FILE, "rb") as f:
            self.assertEqual(f.read(), b"C:/ProgramData/vxi/static\r\n")


class FlashMissingTest(unittest.TestCase):
    def setUp(self):
        flash.unregister_flash()

    def tearDown(self):
        flash.register_flash()

    def test_installer_is_downloaded_and_run_silently(self):
        record = os.path.join(tempfile.mkdtemp(prefix="brivola-record-"), "record.txt")
        run, transcript, requests = play(
            "quit.movie", flash_installer=flash.installer_exe(),
            BRIVOLA_FLASH_INSTALLER_RECORD=windows_path(record))
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertEqual(run.dialogs, [])
        self.assertTrue(in_order(run.lines, [
            "Start of Main", "Flash is not already installed", "Flash install starting",
            "Flash is installed", "Getting ready to download swf", "Downloaded swf"]), run.lines)
        self.assertIn("GET /get/flashplayer/current/licensing/win/"
                      "install_flash_player_10_active_x.exe HTTP/1.1", requests)
        runs = flash.read_record(record)
        self.assertEqual(len(runs), 1)
        self.assertEqual(runs[0][1:], ["/S"])
        self.assertIn("expect ok <string>VXInstaller</string>", transcript)
        self.assertIn((HOST_CLASS, TITLE), run.windows)
        self.assertNotIn("Flash Version: 10.0", run.lines[:run.lines.index("Flash is installed")])

    def test_failed_download_ends_in_one_error_box(self):
        # No installer is served: the download gives an empty file that cannot start.
        run, transcript, _ = play("quit.movie")
        message = ("The Flash Player 10 ActiveX did not properly install, please install it "
                   "manually and start the installer again.")
        self.assertEqual(run.dialogs, [("Error", message)], run.log)
        self.assertNotEqual(run.exit_code, 0)
        self.assertFalse(run.timed_out)
        self.assertNotIn(HOST_CLASS, [c for c, _ in run.windows])
        self.assertEqual(transcript, [])
        self.assertIn("Nice exception language: " + message, run.lines)


class CloseRequestTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        flash.register_flash()

    def test_alt_f4_before_any_install_ends_the_program(self):
        run, transcript, _ = play("close_before_install.movie", timeout=60)
        self.assertFalse(run.timed_out, run.log)
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertIn("Alt+F4 used ... application exiting", run.lines)
        self.assertIn("close", transcript)

    @unittest.skipUnless(SEAMS, "needs a build with BRIVOLA_TEST_SEAMS")
    def test_alt_f4_is_refused_during_install_until_installed(self):
        run, transcript, _ = play("close_guard.movie", timeout=90)
        self.assertFalse(run.timed_out, "\n".join(transcript))
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertNotIn("fail", [l.split(" ")[0] for l in transcript], "\n".join(transcript))
        lines = run.lines
        self.assertTrue(in_order(lines, [
            "Disabling the close menu", "Alt+F4 used during install ... ignoring",
            "In DoCallback for FINBOX code", "Enabling the close menu",
            "Alt+F4 used ... application exiting"]), lines)
        # Grayed after DoMetaInstall, restored after "Installed".
        self.assertTrue(in_order(transcript, ["expect ok <false/>", "expect ok <true/>",
                                              "got OnComplete", "expect ok <false/>"]),
                        "\n".join(transcript))

    def test_a_file_that_is_not_a_movie_is_shown_and_alt_f4_ends_it(self):
        closer = subprocess.Popen(
            [wine_loader(), windows_path(os.environ["BRIVOLA_CLOSE_WINDOW_EXE"]), HOST_CLASS,
             "1500"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        try:
            run, transcript, _ = play(data=b"FWS\x0a\x00\x10\x00\x00" + b"\x00" * 64, timeout=60)
        finally:
            closer.wait(timeout=90)
        self.assertFalse(run.timed_out, run.log)
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertTrue(any(l.startswith("unreadable ") for l in transcript), transcript)
        self.assertIn("Alt+F4 used ... application exiting", run.lines)
        self.assertEqual(run.lines[-1], "Static FINBOX destructor Complete")


class MovieActionsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        flash.register_flash()

    def test_drag_moves_by_the_cursor_travel_and_shift_ends_it(self):
        run, transcript, _ = play("drag.movie", timeout=60)
        self.assertEqual(run.exit_code, 0, run.log)
        where = [tuple(int(v) for v in l.split(" ")[1:3]) for l in transcript
                 if l.startswith("window ")]
        self.assertEqual(len(where), 3, transcript)
        self.assertEqual(where[1], (where[0][0] + 40, where[0][1] + 30))
        self.assertEqual(where[2], where[1])

    def test_only_quit_and_QUIT_end_the_program(self):
        run, transcript, _ = play("fscommands.movie", timeout=60)
        self.assertFalse(run.timed_out, run.log)
        self.assertEqual(run.exit_code, 0, run.log)
        self.assertEqual(run.lines.count("Got an FSCommand"), 3)
        self.assertEqual(run.lines.count("Got a Quit Command"), 1)
        self.assertIn("expect ok <string>VXInstaller</string>", transcript)


if __name__ == "__main__":
    unittest.main()
