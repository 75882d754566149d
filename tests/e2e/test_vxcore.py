"""tulip.vxcore's configuration and search functions from the movie, under Wine: the
five configuration files in the prefix's common data folder, search protection in the
prefix's registry, and the search component stand-in registered in the prefix or not."""
import os
import subprocess
import unittest

import flash
import prefix
from harness import wine_loader, windows_path

DESKTOP_ID = "{11111111-2222-3333-4444-555555555555}"
VXI_KEY = r"HKCU\Software\VXI"
SEARCH_DIR = "C:/vxsearch-e2e"
NULL_LINE = "Caught an Exception resolving a tulip call and now returning null"

CONFIG = {
    "config/desktopconfig.cfg":
        "coredir = C:/Program Files/Brivola\n"
        "desktopid = " + DESKTOP_ID + "\n"
        "[appregistry]\n"
        "[[brivola]]\ninstalled = 2009-06-01\n"
        "[[finbar]]\ninstalled = 2009-06-10\n"
        "[search]\ninitialprovider = MSN\n",
    "config/desktopdata.cfg": "version = 4.2\n[paths]\nstatic = C:/ProgramData/vxi/static\n",
    "brivola/config/appdata.cfg":
        "[autoupdate]\nlatestversion = 4.2.1\n"
        "[search]\ndefault = MSN\n"
        "[[MSN]]\nurl = http://search.invalid/results?q=%(q)s&from=%(from)s&f=%(f)s&sbs=%(sbs)s"
        "&app=%(app)s&csp=%(csp)s&sc=%(sc)s&lcid=%(lcid)s&tbid=%(tbid)s&did=%(did)s"
        "&mode=%(mode)s&kind=%(kind)s&p=100%%\n"
        "[[web]]\nurl = web?q=%(q)s&csp=%(csp)s&sc=%(sc)s&sbs=%(sbs)s\n",
    "brivola/config/appconfig.cfg": "mode = quiet\nkind = app\n",
    "brivola/config/appuserconfig.cfg": "lcid = de-de\nkind = user\n",
    "finbar/config/appdata.cfg": "[search]\ndefault = web\n[[web]]\nurl = finbar?q=%(q)s&csp=%(csp)s\n",
}

MSN_URL = ("http://search.invalid/results?q=red+fox&from=ie&f=F&sbs=2&app=brivola&csp=MSN&sc=1"
           "&lcid=de-de&tbid={0}&did={0}&mode=quiet&kind=user&p=100%".format(DESKTOP_ID))


def search_component(option):
    code = subprocess.run(
        [wine_loader(), windows_path(prefix.path(SEARCH_DIR + "/vxsearch.exe")), option],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        timeout=120).returncode
    if code != 0:
        raise RuntimeError("vxsearch.exe %s failed: %d" % (option, code))


def setUpModule():
    flash.register_flash()
    prefix.remove(SEARCH_DIR)
    with open(os.environ["BRIVOLA_VXSEARCH_EXE"], "rb") as f:
        prefix.write(SEARCH_DIR + "/vxsearch.exe", f.read())
    prefix.write(SEARCH_DIR + "/vxsearch.ini",
                 "[Brivola]\ntext = Search the web with Brivola\nbrand = Brivola Search\n")


class VXCoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        prefix.write_config(CONFIG)
        prefix.reg_delete(VXI_KEY)
        search_component("/RegServer")
        try:
            cls.run_, cls.transcript, _ = flash.play("vxcore.movie")
        finally:
            search_component("/UnregServer")
        cls.replies = flash.replies(cls.transcript)

    def replies_of(self, prefix_):
        return [r for n, r in self.replies if n.startswith(prefix_)]

    def test_every_call_was_answered_and_the_movie_ended(self):
        self.assertEqual(self.run_.exit_code, 0, "\n".join(self.transcript))
        self.assertEqual(len(self.replies), 22, self.replies)
        self.assertTrue(all(r is not None for _, r in self.replies), self.replies)

    def test_configuration_functions(self):
        replies = self.replies_of("tulip.vxcore.config.")
        self.assertEqual(replies[:2], ["<string>C:/Program Files/Brivola</string>",
                                       "<string>2009-06-10</string>"])
        self.assertEqual(flash.value(replies[2]),
                         {"version": "4.2", "paths": {"static": "C:/ProgramData/vxi/static"}})
        self.assertEqual(flash.value(replies[3]), {"latestversion": "4.2.1"})
        # A missing file and a missing key: null.
        self.assertEqual(replies[4:], ["<string>quiet</string>", "<null/>", "<null/>"])

    def test_search_addresses(self):
        urls = [flash.value(r) for r in self.replies_of("tulip.vxcore.search.GenSearchUrl")]
        self.assertEqual(urls, [
            MSN_URL,                      # the MSN cohort chosen and stored
            MSN_URL,                      # ... and read back
            "web?q=a%b+c&csp=web&sc=&sbs=-2",
            "finbar?q=red+fox&csp=web",   # no application: the latest installed one's
            "finbar?q=brivola&csp=nosuch",  # no such provider: the chosen one's template
            "http://127.0.0.1",
        ])
        self.assertEqual(self.run_.lines.count("GenSearchUrl"), 6)
        saved = prefix.read(prefix.COMMON_DATA + "/config/desktopconfig.cfg")
        self.assertIn("searchcohort", saved)
        self.assertRegex(saved, r"(?m)^\s*ie = 1\s*$")
        self.assertIn("desktopid = " + DESKTOP_ID, saved)

    def test_search_protection_in_the_registry(self):
        self.assertEqual(self.replies_of("tulip.vxcore.search.")[6:12], [
            "<false/>", "", "<true/>", "", "<false/>", ""])
        self.assertEqual(prefix.reg_get(VXI_KEY, "DefaultSearch"), "0x1")

    def test_registered_search_component_answers(self):
        self.assertEqual(self.replies[-3:], [
            ("tulip.vxcore.search.GetSearchTextForApp", "<string>Search the web with Brivola</string>"),
            ("tulip.vxcore.search.GetSearchBrandForApp", "<string>Brivola Search</string>"),
            ("tulip.vxcore.search.GetSearchTextForApp", "<string></string>"),
        ])
        self.assertEqual(self.run_.lines.count("HRESULT for GetSearchTextForApp: 0"), 1)
        self.assertIn("HRESULT for GetSearchTextForApp: -2147023728", self.run_.lines)


class UnregisteredSearchComponentTest(unittest.TestCase):
    def test_calls_answer_null(self):
        prefix.write_config(CONFIG)
        run, transcript, _ = flash.play("search_component.movie")
        self.assertEqual(run.exit_code, 0, "\n".join(transcript))
        self.assertEqual([r for _, r in flash.replies(transcript)], ["<null/>", "<null/>"])
        self.assertEqual(run.lines.count(NULL_LINE), 2)
        self.assertFalse([l for l in run.lines if l.startswith("HRESULT for")], run.lines)


if __name__ == "__main__":
    unittest.main()
