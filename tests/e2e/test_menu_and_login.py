"""The application menu (its button in the window's title strip and its
shortcuts) and the entry that starts the program at login."""

import os
import subprocess
import time
import unittest

from desktop_support import FakeBrowser, check_for_updates, exec_argv
from harness import APP_ID, E2ETestCase, alert_content, centre, eventually, find
from update_server import UpdateServer, manifest

NOTES = "Clearer voice."
# A folder name a session must quote with care: a space, double quotes, a
# dollar sign and a percent sign (which starts a field code in Exec).
AWKWARD_FOLDER = 'Orvi Station "$5" 100%'


class MenuTestCase(E2ETestCase):
    session = dict(a11y=True)

    def accessible(self, app, timeout=10, **match):
        """The one showing accessible object of the program that matches."""
        found = eventually(lambda: find(self.a11y.tree(app.process.pid), state="showing", **match),
                           lambda f: len(f) == 1, timeout)
        self.assertEqual(len(found), 1, f"accessible objects matching {match}: {found}")
        return found[0]

    def click(self, accessible):
        # Away first: a move to where the pointer already is never completes.
        self.xsession.x(["xdotool", "mousemove", "--sync", "1", "1"])
        self.xsession.x(["xdotool", "mousemove", "--sync", *map(str, centre(accessible)), "click", "1"])


class Menu(MenuTestCase):
    def test_check_for_updates_answers_even_when_the_launch_check_said_nothing(self):
        server = self.enterContext(UpdateServer())
        server.serve(manifest("1.4.2", notes=NOTES))
        install = self.make_install()
        install.write_defaults({"OrviDesktopUpdateNotice.1.4.2": {"boolean": True}})
        browser = FakeBrowser(install)
        app, window = self.launch(install, env=server.env())

        # The launch's own check knows this version already and stays silent.
        server.wait_for_request(timeout=30)
        server.wait_until_done()
        self.assertTrue(app.no_alert_for(3), "the launch check spoke of a known version")

        # The menu button in the title strip, and the item in its menu.
        self.click(self.accessible(app, role="toggle button", name="Menu"))
        item = self.accessible(app, role="push button", name="Check for Updates...")
        items = [n["name"] for n in find(self.a11y.tree(app.process.pid), role="push button", state="showing")
                 if n["name"] not in ("Close", "Minimize")]
        self.assertEqual(items, ["Show Orvi", "Check for Updates...", "Quit Orvi Desktop"])
        self.click(item)
        server.wait_for_request(count=2, timeout=15)
        alert = app.wait_for_alert(15)
        self.assertEqual(alert_content(self.accessible(app, role="alert")),
                         {"texts": ["Orvi Desktop 1.4.2 is ready", NOTES],
                          "buttons": ["Later", "Download Update"], "default": ["Download Update"]})
        self.xsession.press(alert, "Escape")
        app.wait_gone(alert)

        # Nothing newer: a requested check says so.
        server.serve(manifest("1.0.0"))
        check_for_updates(self.bus)
        server.wait_for_request(count=3, timeout=15)
        alert = app.wait_for_alert(15)
        self.assertEqual(alert_content(self.accessible(app, role="alert")),
                         {"texts": ["Orvi Desktop is up to date", "You have version 1.0.0."],
                          "buttons": ["OK"], "default": ["OK"]})
        self.xsession.press(alert, "Return")
        app.wait_gone(alert)

        self.assertEqual(browser.opened(), [])
        self.assertTrue(app.process.running())
        self.xsession.press(window, "ctrl+q")
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
                self.xsession.press(window, "ctrl+n")
                self.assertEqual(eventually(lambda: self.xsession.geometry(window), lambda g: g == frame, 10),
                                 frame)
                self.assertEqual(eventually(self.xsession.active_window, lambda w: w == window, 5), window)


class StartAtLogin(MenuTestCase):
    def test_entry_written_at_launch_starts_the_program(self):
        install = self.make_install(folder=AWKWARD_FOLDER)
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
        self.quit(app)

        # The session's way in: exactly that command line, nothing else.
        app.start(exec_argv(entry)).window()
        self.assertEqual(exec_argv(entry), [install.binary])
        self.quit(app)


if __name__ == "__main__":
    unittest.main()
