"""`cmake --install` into a fresh prefix: what lands there passes the desktop's
own validators, and the installed program runs from it alone."""

import os
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from desktop_support import exec_argv
from harness import APP_ID, BUILD_DIR, BUNDLE, E2ETestCase

RUNNING_VERSION = "1.0.0"

PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8">@REPORT@</head><body>
<script>report('base', document.baseURI);</script>
<img src="ORVI_DEFAULT_FACE_DATA" onload="report('face', this.naturalWidth)" onerror="report('face', 0)">
</body></html>"""

# Runs a command with the build directory covered by an empty file system, so
# that the place compiled into the program as a fallback holds nothing.
HIDE_BUILD_DIR = 'mount -t tmpfs tmpfs "$1" && shift && exec "$@"'


def install_into(prefix):
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, capture_output=True,
                   timeout=120)


class Installing(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="orvi-e2e-prefix-")
        cls.addClassCleanup(shutil.rmtree, cls.prefix, True)
        install_into(cls.prefix)
        cls.entry = os.path.join(cls.prefix, "share", "applications", APP_ID + ".desktop")

    def test_installed_files_pass_the_desktop_validators(self):
        metainfo = os.path.join(self.prefix, "share", "metainfo", APP_ID + ".metainfo.xml")
        icon = os.path.join(self.prefix, "share", "icons", "hicolor", "scalable", "apps", APP_ID + ".svg")
        for command in (["desktop-file-validate", self.entry], ["appstreamcli", "validate", "--no-net", metainfo]):
            with self.subTest(command[0]):
                result = subprocess.run(command, capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

        self.assertEqual(ElementTree.parse(icon).getroot().tag, "{http://www.w3.org/2000/svg}svg")
        binary = os.path.join(self.prefix, "bin", "orvi-desktop")
        self.assertEqual(exec_argv(self.entry), [binary])
        self.assertTrue(os.access(binary, os.X_OK))

        # The pieces name each other: the entry its icon, the metainfo the entry.
        with open(self.entry) as f:
            self.assertIn(f"Icon={APP_ID}\n", f.read())
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(component.findtext("id"), APP_ID)
        self.assertEqual(component.findtext("launchable"), APP_ID + ".desktop")
        self.assertEqual(component.find("releases/release").get("version"), RUNNING_VERSION)

    def test_entry_names_the_program_under_a_prefix_with_a_space(self):
        prefix = os.path.join(tempfile.mkdtemp(prefix="orvi-e2e-prefix-"), "Orvi Apps")
        self.addCleanup(shutil.rmtree, os.path.dirname(prefix), True)
        install_into(prefix)
        entry = os.path.join(prefix, "share", "applications", APP_ID + ".desktop")
        self.assertEqual(exec_argv(entry), [os.path.join(prefix, "bin", "orvi-desktop")])


class RunningTheInstall(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        probe = tempfile.mkdtemp(prefix="orvi-e2e-mount-")
        cls.addClassCleanup(shutil.rmtree, probe, True)
        allowed = subprocess.run(["unshare", "--mount", "sh", "-c", HIDE_BUILD_DIR, "sh", probe, "true"],
                                 capture_output=True, text=True, timeout=30)
        if allowed.returncode != 0:
            raise unittest.SkipTest("cannot hide the build directory in a private mount namespace "
                                    f"(unshare --mount and mount need the rights): {allowed.stderr.strip()}")
        cls.prefix = tempfile.mkdtemp(prefix="orvi-e2e-prefix-")
        cls.addClassCleanup(shutil.rmtree, cls.prefix, True)
        install_into(cls.prefix)
        cls.start_session(link=True)

    def test_installed_program_shows_the_installed_page_on_its_own(self):
        resources = os.path.join(self.prefix, "share", "orvi-desktop", BUNDLE, "Resources")
        with open(os.path.join(resources, "index.html"), "w") as f:
            f.write(PAGE.replace("@REPORT@", self.link.script()))
        app = self.make_app(self.make_install())  # the install only for its home and XDG folders
        binary = os.path.join(self.prefix, "bin", "orvi-desktop")
        window = app.start(["unshare", "--mount", "sh", "-c", HIDE_BUILD_DIR, "sh", BUILD_DIR, binary]).window()
        self.assertEqual(self.link.wait_for("base", timeout=20), f"file://{resources}/")
        self.assertGreater(self.link.wait_for("face"), 0, "the installed face image was not used")
        # The window belongs to the installed entry.
        self.assertIn(f'"{APP_ID}"', self.xsession.prop(window, "WM_CLASS") or "")
        with open(os.path.join(self.prefix, "share", "applications", APP_ID + ".desktop")) as f:
            self.assertIn(f"StartupWMClass={APP_ID}\n", f.read())
        self.quit(app)

        # Neither place a bundle could be had it; the installed data folder did.
        message = (f"could not load resource bundle: from {self.prefix}/bin/{BUNDLE} "
                   f"or {BUILD_DIR}/{BUNDLE}")
        self.assertEqual([line for line in app.log().splitlines() if "resource bundle" in line], [message])


if __name__ == "__main__":
    unittest.main()
