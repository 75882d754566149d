#!/usr/bin/env python3
"""Starts and stops tools/content_server.py for the Windows download tests.

  content_fixture.py start DIR [FILE...]   serve DIR/root on a free port
  content_fixture.py stop DIR

`start` also takes, before DIR, --port N (a fixed port: the one a build compiled
in) and --also-root ROOT (served after DIR/root, as content_server.py does).

`start` fills DIR/root with payload.bin (300 KiB of patterned bytes, more than one
read buffer) and copies of the FILEs, starts the server in the background with its
stdio detached (ctest would otherwise wait for it), and returns once the server
listens: its port is then in DIR/port and its process id in DIR/pid. `stop` ends
that process. Both are ctest fixture steps around the tests.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVER = os.path.join(SOURCE_DIR, "tools", "content_server.py")
PAYLOAD_SIZE = 300 * 1024


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    # An ended process stays a zombie until whoever adopted it reaps it.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return True


def stop(folder):
    pid_file = os.path.join(folder, "pid")
    if not os.path.exists(pid_file):
        return 0
    with open(pid_file) as f:
        pid = int(f.read().strip())
    os.remove(pid_file)
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0
    for _ in range(100):
        if not alive(pid):
            return 0
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return 0


def start(folder, files, port=0, also_roots=()):
    stop(folder)  # one left over from an interrupted run
    root = os.path.join(folder, "root")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    with open(os.path.join(root, "payload.bin"), "wb") as f:
        f.write(bytes(i * 7 % 251 for i in range(PAYLOAD_SIZE)))
    for path in files:
        shutil.copy(path, root)
    port_file = os.path.join(folder, "port")
    if os.path.exists(port_file):
        os.remove(port_file)
    process = subprocess.Popen(
        [sys.executable, SERVER, "--root", root, "--port", str(port), "--port-file", port_file]
        + [a for r in also_roots for a in ("--also-root", r)],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    with open(os.path.join(folder, "pid"), "w") as f:
        f.write("%d\n" % process.pid)
    for _ in range(200):
        if os.path.exists(port_file):
            return 0
        if process.poll() is not None:
            print("content server ended at start", file=sys.stderr)
            return 1
        time.sleep(0.05)
    print("content server did not start", file=sys.stderr)
    stop(folder)
    return 1


def main(argv):
    if argv and argv[0] == "start":
        rest, port, also_roots = argv[1:], 0, []
        while len(rest) >= 2 and rest[0] in ("--port", "--also-root"):
            if rest[0] == "--port":
                port = int(rest[1])
            else:
                also_roots.append(rest[1])
            rest = rest[2:]
        if rest:
            return start(rest[0], rest[1:], port, also_roots)
    if len(argv) == 2 and argv[0] == "stop":
        return stop(argv[1])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
