"""The installation engine from the movie: tulip.vxcore.install under Wine with the
content server serving the stand-ins (stand-ins/), the product's configuration in the
prefix, and what the stand-ins record of how they were started."""
import itertools
import os
import re
import unittest
import zipfile

import flash
import prefix
from harness import in_order

NDP20 = r"HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v2.0.50727"
NDP11 = r"HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v1.1.4322"
PYTHON = r"HKLM\SOFTWARE\Python\PythonCore\2.5\InstallPath"
COMMONDIR = r"C:\ProgramData\vxi\common"
COREDIR = "C:/Brivola Core"
CORE = os.path.join("apps", "core", "4.2", "common")

CONFIG = {
    "config/desktopconfig.cfg":
        "coredir = C:/Program Files/Brivola\n"
        "commondir = " + COMMONDIR + "\n"
        "[appregistry]\n"
        "[[brivola]]\ninstalled = 2009-06-01\n"
        "[[[toolbar]]]\npath = %(coredir)s/toolbar\n"
        "[[[search]]]\npath = %(coredir)s/search\n"
        "[[finbar]]\ninstalled = 2009-05-01\n"
        "[[oldbar]]\ninstalled = 2008-01-01\n",
    # Written with backslashes and a ".." segment: the bootstrapper gets it normalised.
    "config/desktopdata.cfg": "coredir = C:\\Brivola Core\\bin\\..\n",
    "brivola/config/appdata.cfg": "[autoupdate]\nlatestversion = 4.2.1\n",
    "brivola/config/appconfig.cfg": "version = 4.0\n",
    "finbar/config/appdata.cfg": "[autoupdate]\nlatestversion = 2.0\n",
    "finbar/config/appconfig.cfg": "version = 2.0\n",
}


def standin_content(*parts):
    return os.path.join(os.environ["BRIVOLA_BUILD_DIR"], "stand-ins", "content", *parts)


def standin(variable):
    """The bytes of the stand-in program the build names in VARIABLE."""
    with open(os.environ[variable], "rb") as f:
        return f.read()


def setUpModule():
    flash.register_flash()
    prefix.write_config(CONFIG)


def set_dotnet(installed):
    if installed:
        prefix.reg_set(NDP20, "Install", "REG_DWORD", 1)
    else:
        prefix.reg_delete(NDP20)


def arguments(command):
    """A recorded command line without the program: `"PROGRAM" ARGUMENTS`."""
    return command.split('" ', 1)[1] if command.startswith('"') else command.split(" ", 1)[1]


def argument_texts(name, options, required=(), components=()):
    """Every command-line text the installer may be given for one application: the
    order of an option object's entries is not fixed, so each order counts. OPTIONS are
    (key, value) pairs, REQUIRED the bare arguments (kept together, in their order),
    COMPONENTS (name, [(key, value)]) groups, which come after all options."""
    pieces = ["-%s %s" % kv for kv in options] + ([" ".join(required)] if required else [])
    groups = [[c] + ["-%s %s" % kv for kv in kvs] for c, kvs in components]
    texts = set()
    for order in itertools.permutations(pieces):
        for group_order in itertools.permutations(groups):
            for group_pieces in itertools.product(
                    *[[[g[0], *p] for p in itertools.permutations(g[1:])] for g in group_order]):
                texts.add(" ".join([name, *order, *(p for g in group_pieces for p in g)]))
    return texts


def progress(calls):
    return [args[0] for name, args in calls if name == "OnProgress"]


def installer_path(run):
    """The product installer the program started, from its log line."""
    for line in run.lines:
        match = re.match(r"^(.*Installer\.exe) install ", line)
        if match:
            return match.group(1)
    return None


def record_of(installer):
    return installer[:-len(".exe")] + ".record"


class MetaInstallTest(unittest.TestCase):
    """Two applications, .NET missing: the whole way from the request to "Installed"."""

    @classmethod
    def setUpClass(cls):
        set_dotnet(False)
        cls.run_, cls.transcript, cls.requests = flash.play("install_meta.movie", timeout=300)
        cls.calls = flash.host_calls(cls.transcript)
        cls.installer = installer_path(cls.run_)

    def test_ends_through_alt_f4_once_installed(self):
        self.assertFalse(self.run_.timed_out, "\n".join(self.transcript))
        self.assertEqual(self.run_.exit_code, 0, self.run_.log)
        self.assertFalse([l for l in self.transcript if l.startswith("fail ")],
                         "\n".join(self.transcript))
        self.assertTrue(in_order(self.run_.lines, [
            "Disabling the close menu", "Alt+F4 used during install ... ignoring",
            "Got an OnComplete", "Enabling the close menu",
            "Alt+F4 used ... application exiting"]), "\n".join(self.run_.lines))
        self.assertEqual(self.run_.lines.count("Alt+F4 used ... application exiting"), 1)

    def test_dotnet_is_downloaded_with_percentages_and_run(self):
        texts = progress(self.calls)
        percents = [int(m.group(1)) for m in
                    (re.fullmatch(r"Downloading \.NET Framework: (\d+)% complete", t) for t in texts)
                    if m]
        self.assertTrue(percents, texts)
        self.assertEqual(percents, sorted(percents))
        self.assertEqual(percents[-1], 100)
        executing = texts.index("Executing .NET Installer. Please wait...")
        self.assertEqual(texts[:executing], ["Downloading .NET Framework: %d%% complete" % p
                                             for p in percents])
        self.assertIn("GET /download/5/6/7/567758A3-759E-473E-BF8F-52154438565A/dotnetfx.exe "
                      "HTTP/1.1", self.requests)
        self.assertEqual(prefix.reg_get(NDP20, "Install"), "0x1")

    def test_archives_are_downloaded_unpacked_and_copied(self):
        for archive in ("dependencies.zip", "installer.zip"):
            self.assertIn("GET /apps/core/4.2/common/%s HTTP/1.1" % archive, self.requests)
        self.assertIsNotNone(self.installer, "\n".join(self.run_.lines))
        folder = os.path.dirname(prefix.path(self.installer))
        self.assertEqual(os.path.basename(folder), "VXI")
        for archive in ("dependencies.zip", "installer.zip"):
            served = standin_content(CORE, archive)
            with open(served, "rb") as f, open(os.path.join(folder, archive), "rb") as g:
                self.assertEqual(f.read(), g.read(), archive)
            with zipfile.ZipFile(served) as z:
                for entry in z.infolist():
                    unpacked = os.path.join(folder, *entry.filename.rstrip("/").split("/"))
                    if entry.is_dir():
                        self.assertTrue(os.path.isdir(unpacked), entry.filename)
                        continue
                    with open(unpacked, "rb") as f:
                        self.assertEqual(f.read(), z.read(entry), entry.filename)

    def test_installer_gets_both_applications_after_install(self):
        runs = prefix.records(record_of(self.installer))
        self.assertTrue(runs)
        text = arguments(runs[-1][1])
        self.assertTrue(text.startswith("install "), text)
        groups = sorted(text[len("install "):].split(" : "))
        self.assertEqual(len(groups), 2, text)
        brivola, finbar = groups
        self.assertIn(brivola, argument_texts(
            "brivola", [("lines", "6"), ("sleep", "20"), ("mode", "full")],
            components=[("toolbar", [("enabled", "1")]),
                        ("search", [("provider", "MSN"), ("path", "C:/x y")])]))
        self.assertIn(finbar, argument_texts(
            "finbar", [("lines", "6"), ("sleep", "20")], required=["core", "base"],
            components=[("skin", [("color", "blue")])]))

    def test_installer_lines_arrive_in_order_then_installed(self):
        first = arguments(prefix.records(record_of(self.installer))[-1][1]).split(" ")[1]
        texts = progress(self.calls)
        executing = texts.index("Executing .NET Installer. Please wait...")
        self.assertEqual(texts[executing + 1:],
                         ["Installing " + first] + ["line %d" % k for k in range(1, 7)]
                         + ["Installed " + first])
        results = [(n, a) for n, a in self.calls if n != "OnProgress"]
        self.assertEqual(results, [("OnComplete", ["Installed"])])
        self.assertEqual(self.calls[-1], ("OnComplete", ["Installed"]))


def segments(calls):
    """The calls split after each result: [(progress texts, (result, message))]."""
    out, texts = [], []
    for name, args in calls:
        if name == "OnProgress":
            texts.append(args[0])
        else:
            out.append((texts, (name, args[0])))
            texts = []
    return out


class InstallerOutputTest(unittest.TestCase):
    """Installs one after the other, each with another kind of installer output or
    request; each reports one result after all its lines."""

    @classmethod
    def setUpClass(cls):
        set_dotnet(True)
        cls.run_, cls.transcript, _ = flash.play("install_output.movie", timeout=300)
        cls.segments = segments(flash.host_calls(cls.transcript))

    def test_the_movie_got_one_result_per_request_and_ran_on(self):
        self.assertFalse(self.run_.timed_out, "\n".join(self.transcript))
        self.assertEqual(self.run_.exit_code, 0, "\n".join(self.transcript))
        self.assertIn("expect ok <string>VXInstaller</string>", self.transcript)
        self.assertEqual(len(self.segments), 10, self.segments)

    def test_installer_output(self):
        both = ["Installing brivola"] + ["out %d" % k for k in range(1, 301)] + [
            "Installed brivola"]
        cases = [
            ("standard error", ["Installing brivola", "line 1", "line 2", "line 3",
                                "Installed brivola"], ("OnError", "disk\r\nfull")),
            ("blank standard error", ["Installing brivola", "Installed brivola"],
             ("OnComplete", "Installed")),
            ("CR and LF apart", ["Installing brivola", "line 1", "line 2", "Installed brivola"],
             ("OnComplete", "Installed")),
            ("crash", ["Installing brivola", "line 1", "line 2", "half a li"],
             ("OnComplete", "Installed")),
            ("both streams", both,
             ("OnError", "\r\n".join("err %d" % k for k in range(1, 301)))),
        ]
        for (what, texts, result), got in zip(cases, self.segments):
            with self.subTest(what):
                self.assertEqual(got, (texts, result))

    def test_arguments_of_the_wrong_kind_are_reported(self):
        cases = [
            ("options not an object", "Type mismatch"),
            ("options missing", "Argument 1 is missing"),
            ("an option that is a number", "Type mismatch"),
            ("an application's options not an object", "Type mismatch"),
            ("name not a string", "Type mismatch"),
        ]
        for (what, start), (texts, (result, message)) in zip(cases, self.segments[5:]):
            with self.subTest(what):
                self.assertEqual((texts, result), ([], "OnError"))
                self.assertTrue(message.startswith(start), message)
                self.assertIn("The install request failed: " + message, self.run_.lines)


def padded_line(k, size):
    """The stand-in's numbered line K padded to SIZE bytes."""
    text = "line %d " % k
    return text + chr(ord("a") + k % 26) * (size - len(text))


class LargeOutputTest(unittest.TestCase):
    def assertSameLines(self, got, expected):
        # Whole lists of this size would make an unreadable report.
        self.assertEqual(len(got), len(expected))
        for i, (g, e) in enumerate(zip(got, expected)):
            if g != e:
                self.fail("line %d differs: %r... against %r..." % (i, g[:80], e[:80]))

    def test_every_line_is_relayed_in_order(self):
        set_dotnet(True)
        run, transcript, _ = flash.play("install_large_output.movie", timeout=600)
        self.assertFalse(run.timed_out)
        self.assertEqual(run.exit_code, 0)
        found = segments(flash.host_calls(transcript))
        self.assertEqual([result for _, result in found], [("OnComplete", "Installed")] * 2)
        many = ["Installing brivola"] + ["line %d" % k for k in range(1, 20001)] + [
            "Installed brivola"]
        self.assertSameLines(found[0][0], many)
        megabyte = ["Installing brivola"] + [padded_line(k, 1 << 20) for k in (1, 2, 3)] + [
            "Installed brivola"]
        self.assertSameLines(found[1][0], megabyte)


DOTNET_PACKAGE = "download/5/6/7/567758A3-759E-473E-BF8F-52154438565A/dotnetfx.exe"


class DroppedDownloadTest(unittest.TestCase):
    def test_a_broken_download_is_an_error_and_no_installer_runs(self):
        cases = [
            # what the server breaks off, whether .NET is there before
            ("apps/core/4.2/common/dependencies.zip", True),
            ("apps/core/4.2/common/installer.zip", True),
            (DOTNET_PACKAGE, False),
        ]
        for path, dotnet in cases:
            with self.subTest(path):
                set_dotnet(dotnet)
                installers = [os.path.join(dirpath, "Installer.record") for dirpath, _, files
                              in os.walk(prefix.path("C:/users")) if "Installer.record" in files]
                before = {p: os.path.getsize(p) for p in installers}
                run, transcript, requests = flash.play(
                    "install_dropped.movie", content={path + ".drop": b""}, timeout=180)
                self.assertEqual(run.exit_code, 0, "\n".join(transcript))
                self.assertIn("GET /%s HTTP/1.1" % path, requests)
                calls = flash.host_calls(transcript)
                results = [(n, a) for n, a in calls if n != "OnProgress"]
                self.assertEqual([n for n, _ in results], ["OnError"], results)
                message = results[0][1][0]
                self.assertTrue(message)
                self.assertIn("The install request failed: " + message, run.lines)
                self.assertIsNone(installer_path(run), "\n".join(run.lines))
                after = {p: os.path.getsize(p) for p in before if os.path.exists(p)}
                self.assertEqual(after, before)
                if not dotnet:
                    self.assertTrue(message.startswith("The file failed to download from "),
                                    message)
                    self.assertNotIn("Executing .NET Installer. Please wait...", progress(calls))
                    self.assertIsNone(prefix.reg_get(NDP20, "Install"))
                    self.assertFalse([r for r in requests if "/apps/core/" in r], requests)


class UninstallTest(unittest.TestCase):
    def test_uninstaller_command_lines_and_uninstalled(self):
        prefix.remove(COMMONDIR)
        prefix.write(COMMONDIR + r"\installer.exe",
                     standin("BRIVOLA_STANDIN_INSTALLER_EXE"))
        run, transcript, requests = flash.play("uninstall.movie", timeout=180)
        self.assertEqual(run.exit_code, 0, "\n".join(transcript))
        runs = prefix.records(COMMONDIR + r"\installer.record")
        self.assertEqual(len(runs), 3, runs)
        self.assertIn(arguments(runs[0][1]), {
            "uninstall brivola -force 1 " + t for t in
            {" ".join(p) for p in itertools.permutations(
                ["toolbar -keep yes", "search -provider MSN"])}})
        self.assertEqual([arguments(r[1]) for r in runs[1:]],
                         ["uninstall finbar", "uninstall oldbar"])
        self.assertTrue(in_order(run.lines, ["About to parse options", "Got Option: force = 1"]))
        self.assertIn("Got Component: toolbar", run.lines)
        self.assertIn("Got Component: search", run.lines)
        calls = flash.host_calls(transcript)
        self.assertEqual(calls, [
            ("OnProgress", ["Uninstalling brivola"]), ("OnProgress", ["Removed brivola"]),
            ("OnComplete", ["Uninstalled"]),
            ("OnProgress", ["Uninstalling finbar"]), ("OnProgress", ["Removed finbar"]),
            ("OnComplete", ["Uninstalled"]),
            ("OnProgress", ["Uninstalling oldbar"]), ("OnProgress", ["Removed oldbar"]),
            ("OnComplete", ["Uninstalled"])])
        # No .NET check and no core archives for an uninstall.
        self.assertFalse([r for r in requests if "/apps/core/" in r or "dotnetfx" in r], requests)

    def test_a_missing_uninstaller_is_reported(self):
        prefix.remove(COMMONDIR)
        run, transcript, _ = flash.play("uninstall.movie", timeout=180)
        self.assertEqual(run.exit_code, 0, "\n".join(transcript))
        calls = flash.host_calls(transcript)
        self.assertEqual([n for n, _ in calls], ["OnError"] * 3, calls)
        for _, (message,) in calls:
            self.assertIn("The install request failed: " + message, run.lines)


class BootstrapperTest(unittest.TestCase):
    def test_uninstall_and_check_updates_start_the_bootstrapper(self):
        prefix.reg_set(PYTHON, None, "REG_SZ", r"C:\Python25")
        record = COREDIR + "/bootstrapper.record"
        cases = [
            # scripts present, calls' options in order, the script named
            (["installer.py", "installer.pyc"], ["-u", "--update --notify"], "installer.py"),
            (["installer.pyc"], ["-u", "--update --notify"], "installer.pyc"),
        ]
        for scripts, options, script in cases:
            with self.subTest(scripts=scripts):
                prefix.remove(COREDIR)
                prefix.write(COREDIR + "/bootstrapper.exe",
                             standin("BRIVOLA_STANDIN_BOOTSTRAPPER_EXE"))
                for name in scripts:
                    prefix.write(COREDIR + "/pyvxcore/" + name, "# script\n")
                run, transcript, _ = flash.play("bootstrapper.movie")
                self.assertEqual(run.exit_code, 0, "\n".join(transcript))
                self.assertNotIn("fail", [l.split(" ")[0] for l in transcript],
                                 "\n".join(transcript))
                runs = prefix.wait_for_records(record, 2)
                self.assertEqual(len(runs), 2, runs)
                parameters = ['-uninstall"C:/Python25/pythonw.exe" "%s/pyvxcore/%s" %s abc'
                              % (COREDIR, script, option) for option in options]
                for parameter in parameters:
                    self.assertIn(parameter, run.lines)
                    self.assertTrue(in_order(run.lines, [
                        "BuildCall", "Calling GetPythonExe", "GetPythonFile", parameter,
                        COREDIR + "/bootstrapper.exe"]), run.lines)
                # The shell may start them in either order.
                for parameter in parameters:
                    self.assertEqual(len([r for r in runs if r[1].endswith(" " + parameter)]), 1,
                                     runs)
                for folder, _ in runs:
                    self.assertEqual(folder.replace("\\", "/").rstrip("/").lower(), COREDIR.lower())


class QueriesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        set_dotnet(True)
        prefix.reg_delete(NDP11)
        cls.run_, cls.transcript, _ = flash.play("install_queries.movie", timeout=180)
        cls.replies = flash.replies(cls.transcript)

    def reply(self, index):
        return self.replies[index][1]

    def test_list_apps_reports_every_registered_application(self):
        self.assertEqual(self.replies[0][0], "tulip.vxcore.install.ListApps")
        self.assertEqual(flash.value(self.reply(0)), [
            {"name": "brivola", "version": "4.2.1", "upgrade": True,
             "components": ["toolbar", "search"]},
            {"name": "finbar", "version": "2.0", "upgrade": False, "components": []},
            {"name": "oldbar", "version": "1000", "upgrade": True, "components": []},
        ])

    def test_version_dotnet_and_config_address_replies(self):
        server = os.environ["BRIVOLA_CONTENT_SERVER"]
        self.assertEqual([r for _, r in self.replies[1:7]], [
            "<string>4.2.1</string>", "<null/>",                   # GetVersion: no data file
            "<true/>", "<false/>", "<null/>",                      # IsDotNetInstalled
            "<string>%s/apps/installer/dirovivov/install_dirovivov.xml</string>" % server])

    def test_two_installs_at_once_both_complete(self):
        self.assertEqual(self.run_.exit_code, 0, "\n".join(self.transcript))
        self.assertEqual([r for n, r in self.replies if n.endswith(".DoInstall")], ["", ""])
        calls = flash.host_calls(self.transcript)
        results = [(n, a) for n, a in calls if n != "OnProgress"]
        self.assertEqual(results, [("OnComplete", ["Installed"])] * 2)
        texts = progress(calls)
        self.assertEqual(len(texts), 2 * 22)
        for name in ("brivola", "finbar"):
            self.assertTrue(in_order(texts, ["Installing " + name, "Installed " + name]), texts)
        for k in range(1, 21):
            self.assertEqual(texts.count("line %d" % k), 2)
        installer = installer_path(self.run_)
        commands = [arguments(c) for _, c in prefix.records(record_of(installer))[-2:]]
        self.assertEqual(sorted(c.split(" ")[1] for c in commands), ["brivola", "finbar"])
        for command in commands:
            name = command.split(" ")[1]
            self.assertIn(command, {"install " + t for t in argument_texts(
                name, [("lines", "20"), ("sleep", "10")])})


if __name__ == "__main__":
    unittest.main()
