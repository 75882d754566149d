"""The Flash Player registration in the test prefix, and movies served to the program.

The registration is written the way the product meets it: by running the stand-in
Flash Player installer with "/S". Removing it deletes the two registry keys.
"""
import html
import os
import re
import shutil
import subprocess
import tempfile
from xml.etree import ElementTree

from harness import MOVIE_PATH, ContentServer, prefix_path, run_program, wine_loader, windows_path

MOVIES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "movies")
FLASH_KEY = r"HKLM\SOFTWARE\Macromedia\FlashPlayerActiveX"
CLSID_KEY = r"HKCR\CLSID\{D27CDB6E-AE6D-11cf-96B8-444553540000}"
TRUST_FILE = prefix_path("C:/windows/system32/Macromed/Flash/FlashPlayerTrust/vxi-trust.cfg")


def _wine(args, env=None):
    with open(os.devnull, "wb") as null:
        return subprocess.run([wine_loader(), *args], stdin=subprocess.DEVNULL, stdout=null,
                              stderr=null, env=env, timeout=120).returncode


def installer_exe():
    return os.environ["BRIVOLA_FLASH_INSTALLER_EXE"]


def register_flash():
    env = dict(os.environ)
    env["BRIVOLA_FLASH_INSTALLER_RECORD"] = windows_path(
        os.path.join(tempfile.mkdtemp(prefix="brivola-flash-"), "record.txt"))
    code = _wine([windows_path(installer_exe()), "/S"], env)
    if code != 0:
        raise RuntimeError("the stand-in Flash Player installer failed: %d" % code)


def unregister_flash():
    for key in (FLASH_KEY, CLSID_KEY):
        _wine(["reg", "delete", key, "/f"])


def movie_root(name=None, data=None):
    """A content folder whose movie is tests/e2e/movies/NAME (or the bytes DATA)."""
    root = tempfile.mkdtemp(prefix="brivola-movie-")
    target = os.path.join(root, MOVIE_PATH)
    os.makedirs(os.path.dirname(target))
    if name is not None:
        shutil.copyfile(os.path.join(MOVIES, name), target)
    else:
        with open(target, "wb") as f:
            f.write(data)
    return root


def player_env(workdir, **extra):
    """The environment for a run whose player writes its transcript into WORKDIR."""
    env = dict(os.environ)
    env["BRIVOLA_PLAYER_TRANSCRIPT"] = windows_path(os.path.join(workdir, "transcript.txt"))
    env.update(extra)
    return env


def transcript(workdir):
    path = os.path.join(workdir, "transcript.txt")
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read().splitlines()


def read_record(path):
    """The runs in a stand-in installer's record file: a list of argument lists."""
    with open(path, "rb") as f:
        data = f.read().decode("utf-8")
    runs, args, i = [], [], 0
    while i < len(data):
        if data[i] == "\n":
            runs.append(args)
            args = []
            i += 1
            continue
        colon = data.index(":", i)
        n = int(data[i:colon])
        args.append(data[colon + 1:colon + 1 + n])
        i = colon + 1 + n + 1
    return runs


def play(movie, content=None, timeout=90, **extra_env):
    """Serves tests/e2e/movies/MOVIE (and CONTENT: relative path -> bytes, beside it),
    runs the program and returns (run, transcript, requests)."""
    root = movie_root(movie)
    for relative, data in (content or {}).items():
        target = os.path.join(root, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
    workdir = tempfile.mkdtemp(prefix="brivola-movie-run-")
    with ContentServer(root=root) as server:
        run = run_program(timeout=timeout, workdir=workdir, env=player_env(workdir, **extra_env))
        requests = server.requests()
    return run, transcript(workdir), requests


def _unescape(text):
    """A transcript detail as the event had it (CR, LF and tab were written escaped)."""
    return text.replace("\\r", "\r").replace("\\n", "\n").replace("\\t", "\t")


_STRING = re.compile(r"<string>(.*?)</string>", re.S)


def _strings(request):
    # Read without an XML parser: it would turn the CR LF inside a value into LF.
    return [html.unescape(s) for s in _STRING.findall(request)]


def host_calls(lines):
    """The program's calls into the movie, in order: (function, [string arguments])."""
    calls = []
    for line in lines:
        if line.startswith("host-call "):
            name, _, request = line[len("host-call "):].partition(" ")
            calls.append((name, _strings(_unescape(request))))
    return calls


def replies(lines):
    """The movie's calls of the program with their replies, in order: (name, reply)."""
    out, pending = [], None
    for line in lines:
        if line.startswith("call ") or line.startswith("raw "):
            if pending is not None:
                out.append((pending, None))
            pending = line.split(" ", 2)[1] if line.startswith("call ") else "raw"
        elif line.startswith("reply") and pending is not None:
            out.append((pending, _unescape(line[len("reply "):])))
            pending = None
    if pending is not None:
        out.append((pending, None))
    return out


def value(reply):
    """A reply of the program as a Python value: strings, booleans, None, numbers,
    lists (array) and dicts (object)."""
    def convert(element):
        tag = element.tag
        if tag == "string":
            return element.text or ""
        if tag in ("true", "false"):
            return tag == "true"
        if tag in ("null", "undefined"):
            return None
        if tag == "number":
            return float(element.text)
        if tag == "array":
            return [convert(p[0]) for p in sorted(element, key=lambda p: int(p.get("id")))]
        if tag == "object":
            return {p.get("id"): convert(p[0]) for p in element}
        raise ValueError("unknown reply element " + tag)
    return convert(ElementTree.fromstring(reply))
