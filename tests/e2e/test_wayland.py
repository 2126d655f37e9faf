"""Native on Wayland (a headless sway): the assistant and its bubble where a person sees them, driven by the pointer and
the keyboard; dialogs above everything; screens that change; quitting; the session kept from idling."""

import os, signal, time, unittest
from harness import E2ETest, poll, wait
from sway import AREA, MAGENTA, Sway, close_to, home
from update_server import UpdateServer, manifest

BEHIND = (63, 63, 63)


class Wayland(E2ETest):
    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.enterClassContext(Sway())
        cls.link = cls.desktop.link

    def install(self, page=True, **kw):
        install = super().install(page, **kw)
        self.desktop.own(install.parent)
        return install

    def launch(self, install=None, env=None, home=True):
        """Returns once the page is ready and the program has measured what the bar leaves of the output. Without
        home, the program has the home folder of the password database: the session's user has none there."""
        app, readies = self.app(install, dict(G_MESSAGES_DEBUG="orvi-desktop", **env or {})), len(self.link.of("ready"))
        app.env.update(XDG_RUNTIME_DIR=self.desktop.runtime,
                       WAYLAND_DISPLAY=os.path.basename(self.desktop.env["WAYLAND_DISPLAY"]))
        if not home:
            del app.env["HOME"]
        app.start(self.desktop.prefix + [app.install.binary])
        self.link.wait_for("ready", count=readies + 1)
        wait(lambda: "moved to 0,0 1280x772" in app.process.log(), 15, "the work area")
        self.link.run("0")
        return app

    def drag(self, start, by):
        p = self.desktop.input
        p.move(*start)
        p.button(True)
        time.sleep(0.02)  # the program tells movements from the press by their time, in milliseconds
        for step in range(1, 11):
            p.move(start[0] + by[0] * step // 10, start[1] + by[1] * step // 10)
            time.sleep(0.02)
        p.button(False)

    def settle(self, want, timeout=15):
        self.assertEqual(poll(self.desktop.seen, lambda s: s == want, timeout), want)

    def test_the_assistant_and_its_bubble_where_they_belong(self):
        d, p = self.desktop, self.desktop.input
        app = self.launch()
        expanded, collapsed = (AREA, None), (None, home(AREA))
        self.settle(expanded)
        for collapse, restore in [(lambda: self.link.post({"type": "minimize"}), lambda: p.click(1200, 720)),
                                  (lambda: p.click(51, 44), lambda: p.key("Return")),  # the strip's minimise
                                  (lambda: self.link.post({"type": "minimize"}), lambda: p.key("space")),
                                  (lambda: self.link.post({"type": "minimize"}), lambda: p.key("n", control=True))]:
            collapse()
            self.settle(collapsed)
            restore()
            self.settle(expanded)
        # A drag moves the bubble with the pointer and opens nothing when let go; the next collapse comes back there.
        self.link.post({"type": "minimize"})
        self.settle(collapsed)
        self.assertTrue(close_to(d.pixel(1, 798), BEHIND), "the collapsed window is all but clear")
        resumes = len(self.link.of("resume"))
        self.drag((1200, 720), (-300, -200))
        moved = (None, (home(AREA)[0] - 300, home(AREA)[1] - 200))
        self.settle(moved)
        time.sleep(1)
        self.assertEqual((self.desktop.seen(), len(self.link.of("resume"))), (moved, resumes))
        self.link.post({"type": "wake"})
        self.settle(expanded)
        self.link.post({"type": "minimize"})
        self.settle(moved)


    def test_the_user_moves_and_resizes_the_assistant_down_to_900_by_620(self):
        self.launch()
        for start, by, want in [((1276, 796), (-380, -150), (0, 28, 900, 622)),  # the bottom-right corner
                                ((450, 44), (100, 50), (100, 78, 900, 622)),  # the title strip
                                ((997, 697), (-50, -50), (100, 78, 900, 620)),  # the corner, past the minimum
                                ((102, 400), (50, 0), (100, 78, 900, 620))]:  # the left edge, past the minimum
            self.drag(start, by)
            self.settle((want, None))

    def test_dialogs_come_above_everything_and_answer_to_the_keyboard(self):
        server, p = self.enterContext(UpdateServer()), self.desktop.input
        server.serve(manifest("1.4.2"))
        for path, mode in [(server.dir, 0o755), (server.ca[0], 0o644)]:
            os.chmod(path, mode)
        app = self.launch(env=server.env())
        self.link.post({"type": "minimize"})  # the alert comes 3 s after launch: collapsed, it is above the bubble
        middle = lambda: self.desktop.pixel(640, 414)
        dialog = lambda colour: not close_to(colour, MAGENTA, 20) and not close_to(colour, BEHIND, 20)
        for state, ask, key in [((None, home(AREA)), lambda: None, "Escape"),
                                ((AREA, None), lambda: self.link.run(
                                    "post({type: 'wake'}); navigator.mediaDevices.getUserMedia({audio: true, video: true}).then("
                                    "s => report('capture', s.getTracks().length), e => report('capture', e.name))"),
                                 "Return")]:
            with self.subTest(key):
                ask()
                self.assertTrue(dialog(poll(middle, dialog, 15)), "a dialog in the middle of the output")
                p.key(key)
                self.settle(state)
        self.assertEqual(self.link.wait_for("capture"), 2, "Return allows")

    def test_every_way_of_quitting(self):
        p = self.desktop.input
        for way, quit, home in [("the close button", lambda app: p.click(21, 44), True),
                                ("Ctrl+Q", lambda app: p.key("q", True), True),
                                ("SIGTERM, with no home folder", lambda app: app.process.send_signal(signal.SIGTERM),
                                 False)]:
            with self.subTest(way):
                app = self.launch(home=home)
                quit(app)
                self.assertEqual(app.process.exit_status(5), 0)

    def test_the_session_stays_awake_while_it_runs(self):
        idle = os.path.join(self.desktop.dir, "idle")
        swayidle = self.desktop.spawn("swayidle", ["swayidle", "-w", "timeout", "2", f"touch {idle}"])
        self.addCleanup(swayidle.stop)
        app = self.launch()
        for collapse in (False, True):
            self.link.post({"type": "minimize" if collapse else "wake"})
            time.sleep(5)
            self.assertFalse(os.path.exists(idle), f"idle while {'collapsed' if collapse else 'expanded'}")
        self.desktop.input.key("q", True)
        app.process.exit_status(5)
        self.assertTrue(poll(lambda: os.path.exists(idle), bool, 10), "idle once it has quit")

    def test_when_the_screens_change(self):
        d, small = self.desktop, (0, 28, 1024, 740)
        self.launch()
        mode = lambda size: d.x("swaymsg", "output", "HEADLESS-1", "mode", size)
        mode("1024x768")
        self.settle((small, None))
        mode("1280x800")
        self.settle((AREA, None))
        bar = lambda height: d.x("swaymsg", "bar", "bar-0", "height", str(height))  # a panel that grows, and shrinks
        bar(40)
        self.settle(((0, 40, 1280, 760), None))
        bar(28)
        self.settle((AREA, None))
        self.link.post({"type": "minimize"})
        self.settle((None, home(AREA)))
        mode("1024x768")
        self.settle((None, home(small)))
        # Back on the larger screen the bubble stays where it was put; another output leaves the assistant on its own.
        mode("1280x800")
        d.x("swaymsg", "create_output")
        self.link.post({"type": "wake"})
        self.settle((AREA, None))
        self.link.post({"type": "minimize"})
        self.settle((None, (home(small)[0], home(AREA)[1])))


if __name__ == "__main__":
    unittest.main()
