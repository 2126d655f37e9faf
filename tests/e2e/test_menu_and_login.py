"""The application menu (its button in the window's title strip and its
shortcuts) and the entry that starts the program at login."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from desktop_support import (Accessibility, FakeBrowser, activate_action, alert_content, exec_argv, find,
                             no_alert_for, press, wait_for_alert)
from harness import APP_ID, TITLE, E2ETestCase, Install, PrivateBus, Process, XSession, eventually, wait_until
from update_server import UpdateServer, manifest

NOTES = "Clearer voice."
CHECK_FOR_UPDATES = "orvi-menu-1"
# A folder name a session must quote with care: a space, double quotes, a
# dollar sign and a percent sign (which starts a field code in Exec).
AWKWARD_FOLDER = 'Orvi Station "$5" 100%'


class InstallUnder(Install):
    """An install whose root is a folder of the given name."""

    def __init__(self, folder_name):
        self.parent = tempfile.mkdtemp(prefix="orvi-e2e-")
        self.root = os.path.join(self.parent, folder_name)
        os.makedirs(self.root)
        try:
            self._lay_out(None, True)
        except BaseException:
            self.remove()
            raise

    def remove(self):
        shutil.rmtree(self.parent, ignore_errors=True)


class MenuTestCase(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        cls.xsession = cls.enterClassContext(XSession())
        cls.bus = cls.enterClassContext(PrivateBus())
        cls.a11y = cls.enterClassContext(Accessibility(cls.xsession, cls.bus))

    def start_server(self):
        server = UpdateServer()
        server.__enter__()
        self.addCleanup(server.__exit__, None, None, None)
        return server

    def launch(self, install, env=None):
        app = self.make_app(install, env=env).start()
        return app, app.window()

    def accessible(self, app, timeout=10, **match):
        """The one showing accessible object of the program that matches."""
        found = eventually(lambda: find(self.a11y.tree(app.process.pid), state="showing", **match),
                           lambda f: len(f) == 1, timeout)
        self.assertEqual(len(found), 1, f"accessible objects matching {match}: {found}")
        return found[0]

    def click(self, accessible):
        x, y, w, h = accessible["extents"]
        # Away first: a move to where the pointer already is never completes.
        self.xsession.x(["xdotool", "mousemove", "--sync", "1", "1"])
        self.xsession.x(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click", "1"])


class Menu(MenuTestCase):
    def test_check_for_updates_answers_even_when_the_launch_check_said_nothing(self):
        server = self.start_server()
        server.serve(manifest("1.4.2", notes=NOTES))
        install = self.make_install()
        install.write_defaults({"OrviDesktopUpdateNotice.1.4.2": {"boolean": True}})
        browser = FakeBrowser(install)
        app, window = self.launch(install, env=server.env())

        # The launch's own check knows this version already and stays silent.
        server.wait_for_request(timeout=30)
        server.wait_until_done()
        self.assertTrue(no_alert_for(self.xsession, window, 3), "the launch check spoke of a known version")

        # The menu button in the title strip, and the item in its menu.
        self.click(self.accessible(app, role="toggle button", name="Menu"))
        item = self.accessible(app, role="push button", name="Check for Updates...")
        items = [n["name"] for n in find(self.a11y.tree(app.process.pid), role="push button", state="showing")
                 if n["name"] not in ("Close", "Minimize")]
        self.assertEqual(items, ["Show Orvi", "Check for Updates...", "Quit Orvi Desktop"])
        self.click(item)
        server.wait_for_request(count=2, timeout=15)
        alert = wait_for_alert(self.xsession, window, 15)
        self.assertEqual(alert_content(self.accessible(app, role="alert")),
                         {"texts": ["Orvi Desktop 1.4.2 is ready", NOTES],
                          "buttons": ["Later", "Download Update"], "default": ["Download Update"]})
        press(self.xsession, alert, "Escape")
        wait_until(lambda: alert not in self.xsession.windows_named(TITLE), 10, "the alert to go")

        # Nothing newer: a requested check says so.
        server.serve(manifest("1.0.0"))
        activate_action(self.bus, CHECK_FOR_UPDATES)
        server.wait_for_request(count=3, timeout=15)
        alert = wait_for_alert(self.xsession, window, 15)
        self.assertEqual(alert_content(self.accessible(app, role="alert")),
                         {"texts": ["Orvi Desktop is up to date", "You have version 1.0.0."],
                          "buttons": ["OK"], "default": ["OK"]})
        press(self.xsession, alert, "Return")
        wait_until(lambda: alert not in self.xsession.windows_named(TITLE), 10, "the alert to go")

        self.assertEqual(browser.opened(), [])
        self.assertTrue(app.process.running())
        press(self.xsession, window, "ctrl+q")
        self.assertEqual(app.wait_exit(5), 0, "Ctrl+Q should quit at once")

    def test_show_orvi_brings_back_the_frame_from_before_the_collapse(self):
        app, window = self.launch(self.make_install())
        frame = (100, 60, 1000, 700)
        for attempt in range(3):
            with self.subTest(attempt=attempt):
                # Put where no other rule would put it.
                self.xsession.x(["wmctrl", "-i", "-r", str(window), "-e", "0," + ",".join(map(str, frame))])
                self.assertEqual(eventually(lambda: self.xsession.geometry(window), lambda g: g == frame, 10), frame)
                time.sleep(0.5)  # the program hears of the new frame

                # A window minimised by the window manager collapses instead.
                self.xsession.x(["xdotool", "windowminimize", str(window)])
                collapsed = eventually(lambda: self.xsession.geometry(window), lambda g: g[2:] == (2, 2), 10)
                self.assertEqual(collapsed[2:], (2, 2))
                press(self.xsession, window, "ctrl+n")
                self.assertEqual(eventually(lambda: self.xsession.geometry(window), lambda g: g == frame, 10),
                                 frame)
                self.assertEqual(eventually(self.xsession.active_window, lambda w: w == window, 5), window)


class StartAtLogin(MenuTestCase):
    def test_entry_written_at_launch_starts_the_program(self):
        install = InstallUnder(AWKWARD_FOLDER)
        self.addCleanup(install.remove)
        entry = os.path.join(install.dirs["XDG_CONFIG_HOME"], "autostart", APP_ID + ".desktop")
        # One left by a copy that has since moved.
        os.makedirs(os.path.dirname(entry))
        with open(entry, "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Orvi Desktop\nExec=/opt/old/orvi-desktop\n")

        app, _ = self.launch(install)
        self.assertEqual(eventually(lambda: os.path.exists(entry) and exec_argv(entry),
                                    lambda argv: argv == [install.binary], 10), [install.binary])
        validation = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual((validation.returncode, validation.stdout.strip()), (0, ""), validation.stdout)
        app.close()
        self.assertEqual(app.wait_exit(10), 0)

        # The session's way in: exactly that command line, nothing else.
        log = tempfile.mkstemp(prefix="orvi-desktop-", suffix=".log", dir=install.root)[1]
        app.log_paths.append(log)
        app.process = Process(exec_argv(entry), app.env, log)
        app.window()
        self.assertEqual(exec_argv(entry), [install.binary])
        app.close()
        self.assertEqual(app.wait_exit(10), 0)


if __name__ == "__main__":
    unittest.main()
