"""The update check against a real local HTTPS server: the alert a newer version brings and what its button opens,
what the fetch refuses to take for a manifest, and quitting while a request hangs."""

import re, signal, time, unittest
from harness import TITLE, WORK_AREA, E2ETest, FakeBrowser, centred, collapsed, expanded, poll, wait
from update_server import MANIFEST_PATH, MiB, UpdateServer, endless, manifest, manifest_bytes, redirect, silence

DOWNLOAD = "https://orvi.example/downloads/Orvi%20Desktop%201.4.2.dmg?from=update&arch=x86_64"
NOTES = "Clearer voice.\nFaster start."


class Update(E2ETest):
    verbose = True  # the program logs each check's outcome

    def setUp(self):
        super().setUp()
        self.server = self.enterContext(UpdateServer())

    def answer(self, app, *keys):
        alert = wait(app.alerts, 15, "an alert")[0]
        self.desktop.keys(alert, *keys)
        wait(lambda: not app.alerts(), 10, "the alert to go")

    def checked(self, app, count):
        """What the program logged of its count-th update check."""
        said = lambda: re.findall(r"Update check: (.*)", app.process.log())[count - 1:]
        return wait(said, 15, f"update check #{count}")[0]

    def test_a_newer_version_is_announced_and_downloads_on_return(self):
        self.server.serve(manifest("1.4.2", url=DOWNLOAD, notes=NOTES))
        install, d = self.install(), self.desktop
        browser, app = FakeBrowser(install), self.launch(install, self.server.env())
        self.link.post({"type": "minimize"})
        self.settle(app, collapsed())
        self.assertGreaterEqual(self.server.wait_for_request().opened - app.started, 3.0, "3 s after launch")
        # Collapsed, the alert is the assistant's all the same, in the middle of the work area, above the bubble,
        # with the keyboard.
        alert = wait(app.alerts, 15, "the alert")[0]
        self.assertEqual((d.prop(alert, "WM_TRANSIENT_FOR"), d.prop(alert, "_NET_WM_NAME")), ([app.window], TITLE))
        stacking = d.prop(None, "_NET_CLIENT_LIST_STACKING")
        self.assertEqual((centred(d.geometry(alert), WORK_AREA), poll(d.active, lambda w: w == alert, 5),
                          stacking.index(alert) > stacking.index(app.bubble)), (True, alert, True))
        self.assertEqual([n["name"] for n in self.desktop.accessible(app.process.pid, role="label")][-2:],
                         ["Orvi Desktop 1.4.2 is ready", NOTES])
        self.assertEqual(install.read_defaults()["OrviDesktopUpdateNotice.1.4.2"], {"boolean": True},
                         "remembered while the question is still open")
        self.answer(app, "Return")
        self.assertEqual(poll(browser.opened, bool, 10), [[DOWNLOAD]])
        self.settle(app, collapsed())
        self.quit(app)

    def test_what_counts_as_a_manifest(self):
        server, install = self.server, self.install(None)
        with open(f"{install.root}/manifest.json", "wb") as f:
            f.write(manifest_bytes())
        app = self.launch(install, server.env())
        server.wait_for_request()
        hops = [MANIFEST_PATH] + [f"/hop/{n}" for n in range(1, 6)]
        for number, (name, serve, speaks, saw) in enumerate([
                ("exactly 1 MiB", lambda: server.serve(manifest("1.4.2", size=MiB)), True, None),
                ("a byte over 1 MiB", lambda: server.serve(manifest("1.4.2", size=MiB + 1)), False, None),
                ("a body without end", lambda: server.serve(endless), False, lambda c: c[0].hung_up and c[0].sent < 64 * MiB),
                ("an error status", lambda: server.serve(manifest("1.4.2", status=500)), True, None),
                ("five redirects", lambda: server.serve_redirects(5, manifest("1.4.2")), True,
                 lambda c: [x.path for x in c] == hops),
                ("six redirects", lambda: server.serve_redirects(6, manifest("1.4.2")), False,
                 lambda c: [x.path for x in c] == hops),
                ("a redirect to http", lambda: server.serve(redirect(self.link.page_url + "bait")), False, None),
                ("a redirect to a file", lambda: server.serve(redirect(f"file://{install.root}/manifest.json")), False,
                 None),
                ("an unknown authority", lambda: setattr(server, "certificate", "untrusted"), False,
                 lambda c: [x.path for x in c] == [None]),
                ("a certificate for another name", lambda: setattr(server, "certificate", "wrong-name"), False,
                 lambda c: [x.path for x in c] == [None])], 2):
            with self.subTest(name):
                server.clear()
                server.certificate = "trusted"
                server.serve(manifest("1.4.2"))
                serve()
                self.desktop.choose(1)  # a requested check
                wait(lambda: server.connections, 15, "a connection")
                said = self.checked(app, number)
                if speaks:
                    self.answer(app, "Escape")
                else:  # and the check has ended
                    self.assertEqual((said, app.alerts()), ("no usable answer from the update server", []))
                connections = server.wait_until_done()
                self.assertTrue(saw is None or saw(connections), connections)
        self.assertEqual(self.link.of("bait"), [], "a redirect to http was followed")
        self.quit(app)

    def test_quitting_is_prompt_with_the_alert_or_the_capture_prompt_open(self):
        self.server.serve(manifest("1.4.2"))
        for way, quit in [("SIGTERM", lambda app, alert: app.process.send_signal(signal.SIGTERM)),
                          ("Ctrl+Q", lambda app, alert: self.desktop.keys(alert, "ctrl+q")),
                          ("the close button", lambda app, alert: self.press(app, role="push button", name="Close")),
                          ("the window manager", lambda app, alert: app.close())]:
            for dialog in ("the alert", "the prompt"):
                with self.subTest(way, dialog=dialog):
                    app = self.launch(self.install(), self.server.env() if dialog == "the alert" else None)
                    if dialog == "the prompt":  # for the camera and the microphone
                        self.link.run("navigator.mediaDevices.getUserMedia({audio: true, video: true})")
                    quit(app, wait(app.alerts, 15, dialog)[0])
                    asked, status = time.monotonic(), app.process.exit_status(5)
                    app.process.stop()
                    warned = [line for line in app.process.log().splitlines() if "CRITICAL" in line or "WARNING" in line]
                    self.assertEqual((status, time.monotonic() - asked < 3, warned), (0, True, []))

    def test_a_new_page_takes_the_capture_prompt_away(self):
        app = self.launch(self.install())
        self.link.run("navigator.mediaDevices.getUserMedia({audio: true, video: true})")
        wait(app.alerts, 15, "the prompt")
        self.link.send(f"location.href = '{self.link.page_url}elsewhere'")
        self.assertEqual(poll(app.alerts, lambda alerts: not alerts, 10), [])
        self.quit(app)

    def test_quitting_is_prompt_while_the_server_stalls(self):
        self.server.serve(silence)
        app = self.launch(self.install(), self.server.env())
        request = self.server.wait_for_request()
        # The window still does what it is asked meanwhile.
        self.link.post({"type": "minimize"})
        self.settle(app, collapsed())
        self.link.post({"type": "wake"})
        self.settle(app, expanded())
        self.assertIsNone(request.closed, "the request is still going on")
        app.close()
        asked = time.monotonic()
        self.assertEqual(app.process.exit_status(10), 0)
        self.assertLess(time.monotonic() - asked, 3.0)
        self.assertTrue(poll(lambda: request.hung_up, bool, 10), "the program hung up")


if __name__ == "__main__":
    unittest.main()
