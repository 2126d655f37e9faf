"""The update check against a real local HTTPS server: the alert a newer
version brings and what its button opens, what the fetch refuses to take as a
manifest, and quitting while a request hangs."""

import os
import time
import unittest

from desktop_support import FakeBrowser, check_for_updates
from harness import TITLE, E2ETestCase, alert_content, centre, eventually, find, wait_until, window_ids
from update_server import (MANIFEST_PATH, MiB, Body, Endless, Redirect, Silence, Trickle, UpdateServer, manifest,
                           manifest_bytes, padded_manifest)

NOTES = "Clearer voice.\nFaster start."
DOWNLOAD = "https://orvi.example/downloads/Orvi%20Desktop%201.4.2.dmg?from=update&arch=x86_64"
# After the server is done with a request, an alert that is coming shows up
# well within this (it takes a fraction of a second).
QUIET_SECONDS = 3


class UpdateTestCase(E2ETestCase):
    session = dict(a11y=True)

    def start_server(self, **kw):
        return self.enterContext(UpdateServer(**kw))

    def dismiss_alerts(self, app):
        for alert in app.alerts():
            self.xsession.press(alert, "Escape")
        wait_until(lambda: not app.alerts(), 10, "the alerts to go")

    def assert_quiet(self, server, app, what):
        """Once every connection has ended, no alert comes."""
        server.wait_until_done(timeout=30)
        self.assertTrue(app.no_alert_for(QUIET_SECONDS), f"{what}: an alert appeared")


class AnnouncingANewVersion(UpdateTestCase):
    def test_newer_version_is_announced_once_and_downloads_on_return(self):
        server = self.start_server()
        server.serve(manifest("1.4.2", url=DOWNLOAD, notes=NOTES))
        install = self.make_install()
        browser = FakeBrowser(install)
        app, window = self.launch(install, server.env())

        request = server.wait_for_request(timeout=30)
        self.assertGreaterEqual(request.opened - app.started, 3.0, "the check waits 3 s after launch")
        alert = app.wait_for_alert(15)
        self.assertIn("_NET_WM_WINDOW_TYPE_DIALOG", self.xsession.prop(alert, "_NET_WM_WINDOW_TYPE") or "")
        self.assertEqual(window_ids(self.xsession.prop(alert, "WM_TRANSIENT_FOR")), [window])
        self.assertEqual(
            alert_content(eventually(lambda: find(self.a11y.tree(app.process.pid), role="alert"), len, 10)[0]),
            {"texts": ["Orvi Desktop 1.4.2 is ready", NOTES], "buttons": ["Later", "Download Update"],
             "default": ["Download Update"]})
        # Remembered while the question is still open.
        self.assertEqual(install.read_defaults()["values"].get("OrviDesktopUpdateNotice.1.4.2"), {"boolean": True})

        self.xsession.press(alert, "Return")
        self.assertEqual(eventually(browser.opened, bool, 10), [[DOWNLOAD]])
        self.assertEqual(self.xsession.windows_named(TITLE, visible_only=True), [window])
        self.quit(app)

        # Later launches say nothing: of this version any more, nor of the one running.
        for name, version in [("already announced", "1.4.2"), ("the running version", "1.0.0")]:
            with self.subTest(name):
                server.clear()
                server.serve(manifest(version, url=DOWNLOAD, notes=NOTES))
                app, _ = self.launch(install, server.env())
                server.wait_for_request(timeout=30)
                self.assert_quiet(server, app, name)
                self.quit(app)
        self.assertEqual(browser.opened(), [[DOWNLOAD]])


class WhatTheDownloadButtonOpens(UpdateTestCase):
    def test_only_web_addresses_are_opened(self):
        server = self.start_server()
        install = self.make_install()
        browser = FakeBrowser(install)
        app, _ = self.launch(install, server.env())
        server.wait_for_request(timeout=30)  # the launch's own check: 404, nothing to say

        # (download address, how it is answered, whether the browser gets it)
        cases = [
            ("https://orvi.example/d/orvi.dmg?v=1.4.2&x=%2F", "Return", True),
            ("http://orvi.example/d/orvi.dmg", "Return", True),
            ("HTTPS://orvi.example/d/orvi.dmg", "Return", False),
            ("file:///etc/hostname", "Return", False),
            ("https://orvi.example/d/later.dmg", "Later", False),
        ]
        for url, answer, opened in cases:
            with self.subTest(url=url, answer=answer):
                self.dismiss_alerts(app)  # one a failed case left
                server.clear()
                before = len(browser.opened())
                server.serve(manifest("1.4.2", url=url))
                check_for_updates(self.bus)
                alert = app.wait_for_alert(15)
                if answer == "Later":
                    self.xsession.click(*centre(find(self.a11y.tree(app.process.pid), role="push button",
                                                     name="Later")[0]))
                else:
                    self.xsession.press(alert, answer)
                app.wait_gone(alert, visible_only=True)
                if opened:
                    self.assertEqual(eventually(browser.opened, lambda o: len(o) > before, 10)[before:], [[url]])
                else:
                    time.sleep(QUIET_SECONDS)
                    self.assertEqual(browser.opened()[before:], [])
        self.quit(app)


class WhatCountsAsAManifest(UpdateTestCase):
    """Requested checks on one running program, against servers that answer
    in ways the fetch must refuse (and, beside each, the nearest one it must
    take). A requested check speaks whenever a manifest arrived."""

    def test_refused_and_accepted_answers(self):
        server = self.start_server()
        bait = self.start_server(tls=False, port=0, token=server.token)
        bait.serve(manifest("1.4.2"))
        manifest_file = os.path.join(self.make_install().root, "manifest.json")
        with open(manifest_file, "wb") as f:
            f.write(manifest_bytes("1.4.2"))

        app, _ = self.launch(self.make_install(), server.env())
        server.wait_for_request(timeout=30)
        server.wait_until_done()

        def redirects(hops):
            return lambda s: s.serve_redirects(hops, manifest("1.4.2"))

        def redirect_to(location):
            return lambda s: setattr(s, "routes", {MANIFEST_PATH: Redirect(location)})

        def paths_are(*paths):
            return lambda connections: self.assertEqual([c.path for c in connections], list(paths))

        def stopped_reading(connections):
            self.assertTrue(connections[0].client_hung_up, "the program kept reading")
            self.assertLess(connections[0].sent, 64 * MiB)

        hops = [MANIFEST_PATH] + [f"/hop/{n}" for n in range(1, 6)]
        # (name, how the server answers, whether an alert comes, what the server saw)
        cases = [
            ("a body of exactly 1 MiB", lambda s: s.serve(padded_manifest("1.4.2", MiB)), True, None),
            ("a body a byte over 1 MiB", lambda s: s.serve(padded_manifest("1.4.2", MiB + 1)), False, None),
            ("a body without end", lambda s: s.serve(Endless()), False, stopped_reading),
            ("an error status", lambda s: s.serve(Body(manifest_bytes("1.4.2"), status=500)), True, None),
            ("five redirects", redirects(5), True, paths_are(*hops)),
            ("six redirects", redirects(6), False, paths_are(*hops)),  # never asks for /hop/6
            ("a redirect to http", redirect_to(bait.base + MANIFEST_PATH), False, None),
            ("a redirect to a file", redirect_to("file://" + manifest_file), False, None),
            # Connected, and then asked for nothing.
            ("an unknown authority", lambda s: (s.serve(manifest("1.4.2")), setattr(s, "certificate", "untrusted")),
             False, paths_are(None)),
            ("a certificate for another name",
             lambda s: (s.serve(manifest("1.4.2")), setattr(s, "certificate", "wrong-name")), False,
             paths_are(None)),
        ]
        for name, answer, alerts, saw in cases:
            with self.subTest(name):
                self.dismiss_alerts(app)  # one a failed case left
                server.clear()
                server.certificate = "trusted"
                answer(server)
                check_for_updates(self.bus)
                server.wait_for(lambda cs: cs, 15, "a connection")
                if alerts:
                    alert = app.wait_for_alert(15)
                    self.xsession.press(alert, "Escape")
                    app.wait_gone(alert)
                else:
                    self.assert_quiet(server, app, name)
                connections = server.wait_until_done()
                if saw:
                    saw(connections)

        self.assertEqual(bait.connections, [], "a redirect to http was followed")
        self.quit(app)


class QuittingDuringARequest(UpdateTestCase):
    def test_quit_is_prompt_while_the_server_stalls(self):
        # (name, how the server answers, how the user quits)
        cases = [
            ("one byte every 3 s", Trickle(interval=3.0), "ctrl+q"),
            ("headers and then nothing", Silence(), "close"),
        ]
        for name, answer, how in cases:
            with self.subTest(name), UpdateServer() as server:
                server.serve(answer)
                app, window = self.launch(self.make_install(), server.env())
                request = server.wait_for_request(timeout=30)

                # The window still does what it is asked while the request hangs:
                # minimised, it collapses; Ctrl+N brings it back.
                self.xsession.x(["xdotool", "windowminimize", str(window)])
                self.assertEqual(eventually(lambda: self.xsession.geometry(window)[2:], lambda s: s == (2, 2), 10),
                                 (2, 2))
                self.xsession.press(window, "ctrl+n")
                expanded = lambda size: size[0] >= 900 and size[1] >= 620
                size = eventually(lambda: self.xsession.geometry(window)[2:], expanded, 10)
                self.assertTrue(expanded(size), f"the window stayed {size}")
                self.assertIsNone(request.closed, "the request should still be going on")
                self.assertTrue(app.no_alert_for(0.5))

                if how == "close":
                    app.close()
                else:
                    self.xsession.press(window, how)
                asked = time.monotonic()
                status = app.wait_exit(10)
                took = time.monotonic() - asked
                self.assertEqual(status, 0)
                self.assertLess(took, 3.0, f"quitting took {took:.1f} s")
                server.wait_until_done(timeout=10)
                self.assertTrue(request.client_hung_up)

if __name__ == "__main__":
    unittest.main()
