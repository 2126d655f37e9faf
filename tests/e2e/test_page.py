"""What the page may ask of the program: web links for the default browser (and nothing else), and the camera and the
microphone (WebKit's mock devices stand in for real ones); the page coming back when its process dies (a page stuck in
a loop: the Service test), its sandbox and its memory limit."""

import collections, contextlib, os, signal, time, unittest
from harness import WORK_AREA, E2ETest, FakeBrowser, centre, centred, collapsed, expanded, poll, wait

OPENED = ["https://example.org/", "http://example.org/path?q=1&r=2#frag", "https://example.org/a%20b?x=%C3%A9#f"]
# The scheme in other cases, other schemes, a space: GIO would open each of these (the fake browser takes them all).
REFUSED = ["HTTPS://example.org/", "Http://example.org/", "file:///etc/hostname", "javascript:alert(1)",
           "mailto:someone@example.org", "ftp://example.org/x", "https://example.org/a b"]
MALFORMED = [{"type": "openExternal", "url": "help/index.html"}, {"type": "openExternal"},
             {"type": "openExternal", "url": 42}, {"type": "OpenExternal", "url": OPENED[0]}, "minimize",
             {"type": "Minimize"}, {"type": "Wake"}, {"type": "wake "}, {"type": "minimize\u0000"}, {"type": 42},
             ["minimize"], {"kind": "minimize"}, None]
MICROPHONE, CAMERA = "audio: Mock audio device 1", "video: Mock video device 1"


def capture(constraints):
    """Page script asking for capture devices; reports the tracks or the error's name."""
    return (f"navigator.mediaDevices.getUserMedia({constraints}).then(s => report('capture', "
            f"s.getTracks().map(t => t.kind + ': ' + t.label).sort()), e => report('capture', e.name))")


class Page(E2ETest):
    def test_only_web_links_reach_the_default_browser(self):
        install = self.install()
        browser, app = FakeBrowser(install), self.launch(install)
        resumes = len(self.link.of("resume"))
        for message in [{"type": "openExternal", "url": url} for url in REFUSED] + MALFORMED + [
                {"type": "openExternal", "url": url, "target": "_blank", "more": {"a": [1]}} for url in OPENED]:
            self.link.post(message)
        poll(browser.opened, lambda o: len(o) >= len(OPENED), 15)
        time.sleep(1)  # room for anything that should not come
        self.assertEqual(collections.Counter(map(tuple, browser.opened())), collections.Counter((u,) for u in OPENED))
        self.assertEqual((app.state(), self.link.of("pause"), len(self.link.of("resume"))), (expanded(), [], resumes),
                         "nothing else happened")

    def test_the_camera_or_the_microphone_alone_is_granted_without_asking(self):
        app = self.launch()
        for constraints, tracks in [("{audio: true}", [MICROPHONE]), ("{video: true}", [CAMERA])]:
            self.assertEqual(self.link.ask(capture(constraints), "capture"), tracks)
            self.assertEqual(app.alerts(), [], "nothing asked")

    def test_both_together_are_asked_about(self):
        d = self.desktop
        answers = [("Return", lambda prompt: d.keys(prompt, "Return"), [MICROPHONE, CAMERA]),
                   ("Escape", lambda prompt: d.keys(prompt, "Escape"), "NotAllowedError"),
                   ("Don't Allow", lambda prompt: d.click(*centre(self.buttons(app)[0]["extents"])), "NotAllowedError"),
                   ("closed", lambda prompt: d.x("wmctrl", "-i", "-c", hex(prompt)), "NotAllowedError")]
        for name, answer, outcome in answers:  # the page remembers an answer, so each gets a fresh run
            with self.subTest(name):
                self.link.clear()
                for earlier in self.apps:  # also one a failed subtest left behind
                    earlier.process.stop()
                app = self.launch()
                if name == "Return":  # asked while collapsed: in the middle of the work area, with the keyboard
                    self.link.post({"type": "minimize"})
                    self.settle(app, collapsed())
                self.link.run(capture("{audio: true, video: true}"))
                prompt = wait(app.alerts, 15, "the prompt")[0]
                if name == "Return":
                    self.assertEqual((centred(d.geometry(prompt), WORK_AREA), poll(d.active, lambda w: w == prompt, 5)),
                                     (True, prompt))
                self.assertIn("_NET_WM_WINDOW_TYPE_DIALOG", d.atoms(prompt, "_NET_WM_WINDOW_TYPE"))
                self.assertIn("_NET_WM_STATE_MODAL", d.atoms(prompt, "_NET_WM_STATE"))
                self.assertEqual(d.prop(prompt, "WM_TRANSIENT_FOR"), [app.window])
                self.assertEqual(d.accessible(app.process.pid, role="label")[-1]["name"],
                                 "Allow this page to use your camera and microphone?")
                self.assertEqual([(b["name"], b["default"]) for b in self.buttons(app)],
                                 [("Don't Allow", False), ("Allow", True)])
                self.assertEqual(self.link.of("capture"), [], "no answer before the user's")
                answer(prompt)
                self.assertEqual(self.link.wait_for("capture"), outcome)
                self.assertEqual(poll(app.alerts, lambda a: not a, 5), [])
                self.settle(app, collapsed() if name == "Return" else expanded())

    def test_the_page_comes_back_when_its_process_ends_or_hangs(self):
        app = self.launch()
        for collapse in (True, False):
            # Once the page has been told of a collapse or a wake (a message it posted is lost with its process).
            told = "pause" if collapse else "resume"
            before = len(self.link.of(told)) + 1
            self.link.post({"type": "minimize" if collapse else "wake"})
            self.settle(app, collapsed() if collapse else expanded())
            self.link.wait_for(told, count=before)
            readies = len(self.link.of("ready"))
            os.kill(self.web_process(app), signal.SIGKILL)
            self.link.wait_for("ready", timeout=10, count=readies + 1)
            if not collapse:  # the page is heard after its load, so the wake's resume comes after anything said then
                self.link.post({"type": "wake"})
            # Collapsed, the new page is told so first; expanded, nothing until the wake.
            self.assertEqual(self.link.wait_for(told, timeout=10, count=before + 1), 1, "the page's first pause or resume")
            self.settle(app, collapsed() if collapse else expanded())
        self.assertNotIn("INFO", app.process.log(), "recoveries are logged only when asked for")

    def test_a_page_waiting_for_its_visitor_is_not_reloaded(self):
        app = self.launch()
        readies = len(self.link.of("ready"))
        self.link.send("report('confirmed', confirm('Go on?'))")
        time.sleep(20)  # a page stuck this long is ended within 15 s
        self.assertEqual(len(self.link.of("ready")), readies)
        self.desktop.keys(app.window, "Return")
        self.assertIs(self.link.wait_for("confirmed"), True)

    def test_the_page_is_sandboxed_and_kept_to_its_memory(self):
        install = self.install()
        secret = os.path.join(install.dirs["HOME"], "secret")
        with open(secret, "w") as f:
            f.write("not for pages")
        app = self.app(install).start([install.binary, "--memory-limit=400", "--verbose"]).wait_window()
        self.link.wait_for("ready")
        page, ours = self.web_process(app), app.process.pid
        self.assertNotEqual(os.readlink(f"/proc/{page}/ns/mnt"), os.readlink(f"/proc/{ours}/ns/mnt"))
        self.assertEqual((os.path.exists(secret), os.path.exists(f"/proc/{page}/root{secret}")), (True, False))
        # A page that allocates without end (50 MB/s) is ended before its own memory (anonymous pages: the
        # 130 MiB of libraries it maps are shared) reaches half as much again, and comes back.
        self.link.send("var hog = []; setInterval(function () { hog.push(new Float64Array(5 << 17).fill(1)); }, 100)")
        peak, ceiling = 0, 1.5 * 400 * 1024  # KiB
        while len(self.link.of("ready")) < 2 and app.process.poll() is None and peak < ceiling:
            with contextlib.suppress(OSError), open(f"/proc/{page}/status") as status:
                peak = max([peak] + [int(l.split()[1]) for l in status if l.startswith("RssAnon:")])
            time.sleep(0.05)
        self.assertLess(peak, ceiling)
        self.assertIn("The page's process ended (memory-limit)", app.process.log())

    @unittest.skipUnless(os.geteuid() == 0, "putting a failing bubblewrap in place takes a mount namespace")
    def test_without_a_working_sandbox_the_page_shows_with_one_warning(self):
        fake = os.path.join(self.desktop.dir, "bwrap")
        with open(fake, "w") as f:
            f.write("#!/bin/sh\necho 'bwrap: No permissions to create new namespace' >&2\nexit 1\n")
        os.chmod(fake, 0o755)
        install = self.install()
        swapped = ["unshare", "--mount", "sh", "-c", 'mount --bind "$1" /usr/bin/bwrap && shift && exec "$@"', "sh"]
        app = self.app(install).start(swapped + [fake, install.binary]).wait_window()
        self.link.wait_for("ready")
        time.sleep(3)  # and no other start of the page comes
        said = [line for line in app.process.log().splitlines() if "sandbox" in line]
        self.assertEqual((len(self.link.of("ready")), len(said)), (1, 1))
        self.assertIn("WARNING **", said[0])
        self.assertTrue(said[0].endswith(": Web content runs without a sandbox: /usr/bin/bwrap cannot make the "
                                         "sandbox: bwrap: No permissions to create new namespace"), said[0])

    def web_process(self, app):
        """The program's web content process."""
        for pid in filter(str.isdigit, os.listdir("/proc")):
            with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as stat:
                if stat.read().startswith(f"{pid} (WebKitWebProces") and os.getsid(int(pid)) == app.process.pid:
                    return int(pid)

    def buttons(self, app):
        return sorted([b for b in self.desktop.accessible(app.process.pid, role="push button")
                       if b["name"] in ("Don't Allow", "Allow")], key=lambda b: b["extents"][0])


if __name__ == "__main__":
    unittest.main()
