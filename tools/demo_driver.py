#!/usr/bin/env python3
"""Runs the installer once under Wine, unattended, and records what a person would see.

tools/demo builds the program, makes the prefix and the display, then calls this with
the paths. This script starts the content server (ours, nginx, or none for --offline),
starts the program under dbwin, follows its debugger output and the player's
transcript, takes a screenshot when each stage is reached, prints one line per stage
with the time it took, checks what the installation left behind, and makes the
contact sheet out/demo.png.

Stages are found by lines the program logs and lines the player writes to its
transcript (docs/movie-format.md); a stage that never comes is reported as missing.
"""
import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from content_server import FLASH_INSTALLER_PATH


def to_windows(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Stage:
    def __init__(self, name, caption, log=None, transcript=None, settle=0.8):
        self.name = name
        self.caption = caption
        self.log = re.compile(log, re.M) if log else None
        self.transcript = re.compile(transcript, re.M) if transcript else None
        self.settle = settle
        self.reached = None
        self.shot = None

    def matches(self, log_text, transcript_text):
        if self.log and self.log.search(log_text):
            return True
        if self.transcript and self.transcript.search(transcript_text):
            return True
        return False


# The whole installation, in the order a person sees it.
ONLINE_STAGES = [
    Stage("flash", "The progress window: Flash Player is installed by its own installer",
          log=r"INFO: Flash install starting", settle=0.05),
    Stage("welcome", "The installer's own window: what is installed, an Install button",
          transcript=r"^button Install", settle=1.0),
    Stage("dotnet", "The .NET Framework 2.0 is installed",
          transcript=r"^host-call OnProgress .*Executing \.NET Installer", settle=0.2),
    Stage("product", "The product installer reports its progress",
          transcript=r"^host-call OnProgress .*>line 6<", settle=0.2),
    Stage("finished", "Finished: the product is installed",
          transcript=r"^host-call OnComplete .*Installed", settle=1.5),
]

OFFLINE_STAGES = [
    Stage("progress", "The progress window tries to fetch the installer's UI",
          log=r"INFO: (Flash install starting|Getting ready to download swf)", settle=0.05),
    Stage("error", "The content server cannot be reached: an Error box "
          "(moved below the progress window for its picture)",
          log=r"INFO: (Nice exception language|Exception caught|An unknown exception)", settle=2.2),
]


def read(path):
    try:
        with open(path, "r", encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def screenshot(display, path):
    """Grabs the screen now (xwd is quick); the picture is converted to PNG after the
    run, so that grabbing never holds up the next stage."""
    for _ in range(3):  # a window going away in the middle of a grab fails it: again
        with open(path + ".xwd", "wb") as f:
            grab = subprocess.run(["xwd", "-root", "-silent", "-display", display],
                                  stdout=f, stderr=subprocess.DEVNULL, check=False)
        if grab.returncode == 0:
            return True
    os.remove(path + ".xwd")
    return False


def to_png(path):
    done = subprocess.run(["convert", "xwd:" + path + ".xwd", path],
                          stderr=subprocess.DEVNULL, check=False).returncode == 0
    os.remove(path + ".xwd")
    return done


def contact_sheet(stages, out_png):
    shots = [s for s in stages if s.shot and os.path.exists(s.shot)]
    if not shots:
        return False
    args = ["montage"]
    for i, s in enumerate(shots, 1):
        args += ["-label", f"{i}. {s.caption} ({s.reached:.1f} s)", s.shot]
    args += ["-tile", "3x", "-geometry", "640x512+10+10", "-pointsize", "16",
             "-background", "#e8e8e8", out_png]
    return subprocess.run(args, check=False).returncode == 0


class Server:
    """The content server: ours (with fault routes), Debian's nginx, or none."""

    def __init__(self, kind, root, port, work):
        self.kind, self.root, self.port, self.work = kind, root, port, work
        self.proc = None

    def start(self):
        if self.kind == "none":
            return
        if self.kind == "python":
            here = os.path.dirname(os.path.abspath(__file__))
            port_file = os.path.join(self.work, "port")
            self.proc = subprocess.Popen(
                [sys.executable, os.path.join(here, "content_server.py"), "--root", self.root,
                 "--port", str(self.port), "--port-file", port_file,
                 # The Flash Player download as over a real line: the progress
                 # window stays up long enough for the first picture.
                 "--delay", FLASH_INSTALLER_PATH + "=1.0",
                 "--request-log", os.path.join(self.work, "requests.txt")],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self._wait_for(lambda: os.path.exists(port_file))
            return
        conf_dir = os.path.join(self.work, "nginx")
        os.makedirs(os.path.join(conf_dir, "tmp"), exist_ok=True)
        conf = os.path.join(conf_dir, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.replace("CONF", conf_dir).replace("ROOT", self.root)
                    .replace("PORT", str(self.port)))
        self.proc = subprocess.Popen(["nginx", "-c", conf, "-p", conf_dir],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=open(os.path.join(conf_dir, "stderr.txt"), "w"))
        import socket

        def listening():
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return True
            except OSError:
                return False
        if not self._wait_for(listening):
            raise SystemExit("nginx did not start: " + read(os.path.join(conf_dir, "stderr.txt")))

    def _wait_for(self, cond):
        for _ in range(200):
            if cond():
                return True
            if self.proc.poll() is not None:
                return False
            time.sleep(0.05)
        return False

    def requests(self):
        if self.kind == "python":
            return read(os.path.join(self.work, "requests.txt"))
        if self.kind == "nginx":
            return read(os.path.join(self.work, "nginx", "access.log"))
        return ""

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM if self.kind == "python" else signal.SIGQUIT)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()


# The configuration docs/content-server.md shows, filled in per run.
NGINX_CONF = """worker_processes 1;
daemon off;
pid CONF/nginx.pid;
error_log CONF/error.log;
events { worker_connections 64; }
http {
    access_log CONF/access.log;
    client_body_temp_path CONF/tmp;
    proxy_temp_path CONF/tmp;
    fastcgi_temp_path CONF/tmp;
    uwsgi_temp_path CONF/tmp;
    scgi_temp_path CONF/tmp;
    sendfile on;
    default_type application/octet-stream;
    types {
        application/x-shockwave-flash swf;
        application/zip zip;
        application/x-msdownload exe;
        text/xml xml;
    }
    server {
        listen 127.0.0.1:PORT;
        root ROOT;
        location / { try_files $uri =404; }
    }
}
"""


def registry_value(wine, key, name):
    """A value under HKEY_LOCAL_MACHINE as the program sees it (the build's own view),
    asked of the prefix's running registry, or None."""
    out = subprocess.run([wine, "reg", "query", "HKLM\\" + key, "/v", name],
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True, errors="replace", check=False)
    for line in out.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2]
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine", required=True)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--dbwin", required=True)
    ap.add_argument("--content", required=True)
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--server", choices=["python", "nginx", "none"], default="python")
    ap.add_argument("--out", required=True)
    ap.add_argument("--interactive", action="store_true")
    ap.add_argument("--timeout", type=int, default=300)
    ap.add_argument("--closer", default="",
                    help="a program that closes a window of a class as Alt+F4 does: with it, "
                         "message boxes stay up for their screenshot and are closed after it")
    a = ap.parse_args()

    prefix = os.environ["WINEPREFIX"]
    display = os.environ["DISPLAY"]
    offline = a.server == "none"
    stages = OFFLINE_STAGES if offline else ONLINE_STAGES
    os.makedirs(a.out, exist_ok=True)
    for old in os.listdir(a.out):
        if old.startswith("stage-") or old in ("demo.png", "debug-output.txt", "transcript.txt",
                                              "progress-window.png"):
            os.remove(os.path.join(a.out, old))
    work = tempfile.mkdtemp(prefix="brivola-demo-")
    log = os.path.join(work, "debug-output.txt")
    windows = os.path.join(work, "windows.txt")
    transcript = os.path.join(work, "transcript.txt")

    server = Server(a.server, os.path.abspath(a.content), a.port, work)
    server.start()
    env = dict(os.environ)
    env["BRIVOLA_PLAYER_TRANSCRIPT"] = to_windows(transcript)
    started = time.monotonic()
    program = subprocess.Popen(
        [a.wine, a.dbwin, "--log", to_windows(log), "--windows", to_windows(windows),
         "--timeout", str(a.timeout)] + (["--keep-dialogs"] if a.closer else [])
        + ["--", to_windows(a.exe)],
        env=env, stdin=subprocess.DEVNULL,
        stdout=open(os.path.join(work, "wine-stdout.txt"), "w"),
        stderr=open(os.path.join(work, "wine-stderr.txt"), "w"))

    closer = None
    if a.closer:
        # The message box (class #32770) is closed 4 s after it shows: time for its picture.
        # It first moves the box just below the progress window: Wine without a window
        # manager does not paint a window that lies over another one.
        closer = subprocess.Popen([a.wine, a.closer, "#32770", "4000", str(a.timeout * 1000),
                                   "beside-owner"],
                                  env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    pending = list(stages)
    last = started
    while program.poll() is None and time.monotonic() - started < a.timeout + 30:
        log_text, tr_text = read(log), read(transcript)
        while pending and pending[0].matches(log_text, tr_text):
            s = pending.pop(0)
            time.sleep(s.settle)
            now = time.monotonic()
            s.reached = now - started
            s.shot = os.path.join(a.out, f"stage-{len(stages) - len(pending)}-{s.name}.png")
            if not screenshot(display, s.shot):
                s.shot = None
            print(f"== stage {s.name}: {s.caption} (+{now - last:.1f} s, at {s.reached:.1f} s)",
                  flush=True)
            last = now
        time.sleep(0.03)
    code = program.wait()
    if closer:
        if closer.poll() is None:
            closer.kill()
        closer.wait()
    server.stop()
    for s in stages:
        if s.shot and not to_png(s.shot):
            s.shot = None

    shutil.copy(log, os.path.join(a.out, "debug-output.txt")) if os.path.exists(log) else None
    if os.path.exists(transcript):
        shutil.copy(transcript, os.path.join(a.out, "transcript.txt"))
    print("== debugger output")
    print(read(log), end="")
    print("== windows and message boxes")
    print(read(windows), end="")
    print("== requests to the content server")
    print(server.requests(), end="")
    for s in pending:
        print(f"== stage {s.name} was not reached: {s.caption}")
    sheet = os.path.join(a.out, "demo.png")
    made = contact_sheet(stages, sheet)
    print(f"== exit code of the program: {code}")
    if made:
        print(f"== contact sheet: {sheet}")

    ok = not pending and made
    if offline:
        # The box's own record is kept only when dbwin dismisses it; here the closer
        # did, so the error stage (its log line and picture) stands for it.
        if code == 0 or pending:
            print("== expected an Error box and a non-zero exit code")
            ok = False
        else:
            print("== as expected with the content server down: an Error box, "
                  f"exit code {code}")
    else:
        ok = check_installed(a.wine, prefix, code) and ok
    shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


def check_installed(wine, prefix, code):
    checks = []
    checks.append(("the program ended with exit code 0", code == 0))
    trust = os.path.join(prefix, "drive_c", "windows", "system32", "Macromed", "Flash",
                         "FlashPlayerTrust", "vxi-trust.cfg")
    trust32 = trust.replace("system32", "syswow64")
    checks.append(("the Flash trust file exists",
                   os.path.exists(trust) or os.path.exists(trust32)))
    checks.append(("Flash Player is registered",
                   registry_value(wine, "SOFTWARE\\Macromedia\\FlashPlayerActiveX", "Version")
                   is not None))
    checks.append((".NET Framework 2.0 is registered (Install = 1)",
                   registry_value(wine, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727",
                                  "Install") in ("0x1", "1")))
    # The stand-in product installer notes each run beside itself, in the working folder
    # the program unpacked it into.
    records = glob.glob(os.path.join(prefix, "drive_c", "**", "Installer.record"), recursive=True)
    ran = any("brivola" in read(r) for r in records)
    checks.append(("the product installer ran for brivola (" +
                   (os.path.relpath(records[0], prefix) if records else "no record") + ")", ran))
    ok = True
    for what, good in checks:
        print(f"== check: {what}: {'yes' if good else 'NO'}")
        ok = ok and good
    return ok


if __name__ == "__main__":
    sys.exit(main())
