"""Files and registry values of the test prefix, as the program meets them, and the
records the stand-ins leave (stand-ins/Record.h: one line per run, the working
folder, a tab, the command line)."""
import os
import shutil
import subprocess
import time

from harness import prefix_path, wine_loader

COMMON_DATA = "C:/ProgramData/vxi"


def path(windows_text):
    """Where a C: path (either slash) lies in the prefix."""
    return prefix_path(windows_text.replace("\\", "/"))


def write(windows_text, data):
    target = path(windows_text)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def remove(windows_text):
    target = path(windows_text)
    if os.path.isdir(target):
        shutil.rmtree(target)
    elif os.path.exists(target):
        os.remove(target)


def write_config(files):
    """Replaces the product's configuration under C:/ProgramData/vxi by FILES
    (path below it -> text)."""
    remove(COMMON_DATA)
    for relative, text in files.items():
        write(COMMON_DATA + "/" + relative, text)


def read(windows_text):
    try:
        with open(path(windows_text), "rb") as f:
            return f.read().decode("utf-8", errors="replace")
    except FileNotFoundError:
        return None


def _reg(args):
    with open(os.devnull, "wb") as null:
        return subprocess.run([wine_loader(), "reg", *args], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=null, timeout=120)


def reg_set(key, name, kind, data):
    """A value in the program's own view of the registry (the loader of its build)."""
    args = ["add", key, "/t", kind, "/d", str(data), "/f"]
    args[2:2] = ["/ve"] if name is None else ["/v", name]
    if _reg(args).returncode != 0:
        raise RuntimeError("reg add %s failed" % key)


def reg_delete(key):
    _reg(["delete", key, "/f"])


def reg_get(key, name):
    """The data of a value as `reg query` prints it, or None."""
    out = _reg(["query", key, "/v", name]).stdout.decode("utf-8", errors="replace")
    for line in out.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2].strip()
    return None


def records(windows_text):
    """The runs a stand-in noted in its record file: [(folder, command line)]."""
    text = read(windows_text)
    if text is None:
        return []
    out = []
    for line in text.splitlines():
        folder, _, command = line.partition("\t")
        out.append((folder, command))
    return out


def wait_for_records(windows_text, count, seconds=20):
    """The records once there are COUNT of them (programs started by the shell write
    theirs after the program that started them may have ended)."""
    deadline = time.monotonic() + seconds
    while True:
        found = records(windows_text)
        if len(found) >= count or time.monotonic() > deadline:
            return found
        time.sleep(0.1)
