"""Runs the real program under Wine, watched by dbwin, and reads what it left.

The environment comes from tools/test (or tools/demo): DISPLAY, WINEPREFIX and a
running wineserver; the build passes BRIVOLA_EXE, BRIVOLA_DBWIN and BRIVOLA_WINE
(the loader of its architecture).
"""
import os
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from urllib.parse import urlparse

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEMO_CONTENT = os.path.join(SOURCE_DIR, "demo", "content")
MOVIE_PATH = "apps/installer/brivola/static/BrivolaDesktopInstaller2.swf"


def wine_loader():
    """The Wine loader of the build under test: `wine` (32-bit) or wine64 itself."""
    return os.environ.get("BRIVOLA_WINE") or "wine"


def windows_path(path):
    """A Linux path as the program sees it through Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


@dataclass
class Run:
    exit_code: int
    log: str
    windows: list = field(default_factory=list)   # (class, caption) in order seen
    dialogs: list = field(default_factory=list)   # (caption, text) in order seen
    timed_out: bool = False

    @property
    def lines(self):
        """The INFO texts, without label and line feed."""
        out = []
        for line in self.log.split("\n"):
            if line.startswith("INFO: "):
                out.append(line[len("INFO: "):])
        return out


def run_program(args=(), timeout=90, workdir=None, env=None, exe=None):
    """Runs `exe` (the installer by default) under dbwin and returns what it left."""
    exe = exe or os.environ["BRIVOLA_EXE"]
    dbwin = os.environ["BRIVOLA_DBWIN"]
    workdir = workdir or tempfile.mkdtemp(prefix="brivola-e2e-")
    log_path = os.path.join(workdir, "debug-output.txt")
    windows_file = os.path.join(workdir, "windows.txt")
    command = [wine_loader(), dbwin, "--log", windows_path(log_path),
               "--windows", windows_path(windows_file),
               "--timeout", str(timeout), "--", windows_path(exe), *args]
    # Wine's stdio goes to files, never pipes: background Wine processes keep pipes
    # open and the reader would wait for them.
    with open(os.path.join(workdir, "wine-stdout.txt"), "wb") as out, \
            open(os.path.join(workdir, "wine-stderr.txt"), "wb") as err:
        proc = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout + 60, env=env, cwd=workdir)
    with open(log_path, "rb") as f:
        log = f.read().decode("utf-8", errors="replace")
    windows, dialogs, timed_out = [], [], False
    if os.path.exists(windows_file):
        with open(windows_file, encoding="utf-8", errors="replace") as f:
            for row in f.read().splitlines():
                parts = row.split("\t")
                if parts[0] == "window" and len(parts) == 3:
                    windows.append((parts[1], parts[2]))
                elif parts[0] == "dialog" and len(parts) == 3:
                    dialogs.append((parts[1], parts[2]))
                elif parts[0] == "timeout":
                    timed_out = True
    return Run(proc.returncode, log, windows, dialogs, timed_out)


def in_order(lines, expected):
    """True when `expected` appears in `lines` as a subsequence."""
    it = iter(lines)
    return all(any(line == e for line in it) for e in expected)


def prefix_path(windows_path_text):
    """Where a C: path of the program lies in the Wine prefix."""
    assert windows_path_text[1:3] == ":/"
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", windows_path_text[3:])


class ContentServer:
    """tools/content_server.py on the port the program was built to use."""

    def __init__(self, root=DEMO_CONTENT, flash_installer=None):
        self.root = root
        self.flash_installer = flash_installer
        self.port = urlparse(os.environ["BRIVOLA_CONTENT_SERVER"]).port or 80
        self.workdir = tempfile.mkdtemp(prefix="brivola-content-")
        self.request_log = os.path.join(self.workdir, "requests.txt")
        self.process = None

    def __enter__(self):
        port_file = os.path.join(self.workdir, "port")
        self.process = subprocess.Popen(
            ["python3", os.path.join(SOURCE_DIR, "tools", "content_server.py"),
             "--root", self.root, "--port", str(self.port), "--port-file", port_file,
             "--request-log", self.request_log,
             *(["--flash-installer", self.flash_installer] if self.flash_installer else [])]
            + self._standin_roots(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.exists(port_file):
                return self
            if self.process.poll() is not None:
                raise RuntimeError("content server did not start (port %d busy?)" % self.port)
            time.sleep(0.05)
        raise RuntimeError("content server did not start")

    @staticmethod
    def _standin_roots():
        # The stand-ins' archives and packages, packed into the build folder.
        content = os.path.join(os.environ.get("BRIVOLA_BUILD_DIR", ""), "stand-ins", "content")
        return ["--also-root", content] if os.path.isdir(content) else []

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)

    def requests(self):
        if not os.path.exists(self.request_log):
            return []
        with open(self.request_log) as f:
            return f.read().splitlines()
