"""Collapsing into the bubble and coming back: the nearly invisible window left behind, the bubble's look and place,
dragging it, every way in and out and the frame each comes back to. With a compositor, as stations have."""

import random, time, unittest
from harness import BUBBLE_HOME, COLLAPSED, WORK_AREA, E2ETest, bubble_home, centre, collapsed, expanded, poll, wait

TEAL, AMBER, MAGENTA, BEHIND = (20, 82, 92), (245, 173, 20), (255, 0, 255), (128, 128, 128)
OWN_FRAME = (100, 60, 1000, 650)


def close_to(pixel, colour, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


class Bubble(E2ETest):
    compositor = verbose = True

    def setUp(self):
        super().setUp()
        self.desktop.xdo("mousemove", 640, 300)  # no tool tip in the way

    def collapse(self, app, bubble_at=BUBBLE_HOME, how=None):
        pauses = len(self.link.of("pause"))
        (how or (lambda: self.link.post({"type": "minimize"})))()
        self.settle(app, collapsed(bubble_at))
        self.link.wait_for("pause", count=pauses + 1)
        self.assertEqual(len(self.link.of("pause")), pauses + 1)

    def restore(self, app, frame=WORK_AREA, how=None):
        resumes = len(self.link.of("resume"))
        (how or (lambda: self.desktop.click(*centre(self.desktop.geometry(app.bubble)))))()
        self.settle(app, expanded(frame))
        self.link.wait_for("resume", count=resumes + 1)
        self.assertEqual(len(self.link.of("resume")), resumes + 1)

    def pointer_target(self, x, y):
        """The innermost window a click at x, y would reach (0 for the bare desktop)."""
        self.desktop.xdo("mousemove", x, y)
        window, target = self.desktop.root, 0
        while child := window.query_pointer().child:
            window, target = child, child.id
        return target

    def test_the_collapsed_window_and_the_bubble(self):
        app, d = self.launch(), self.desktop
        self.assertNotEqual(self.pointer_target(*COLLAPSED[:2]), 0)
        self.collapse(app)
        b = app.bubble
        self.assertEqual(d.atoms(b, "_NET_WM_WINDOW_TYPE"), {"_NET_WM_WINDOW_TYPE_UTILITY"})
        self.assertLessEqual({"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"},
                             d.atoms(b, "_NET_WM_STATE"))
        self.assertEqual(d.prop(b, "_NET_WM_DESKTOP"), [0xFFFFFFFF], "on every desktop")
        self.assertEqual(d.prop(b, "_NET_FRAME_EXTENTS"), [0, 0, 0, 0], "no frame")
        self.assertEqual([(n["name"], n["description"]) for n in d.accessible(app.process.pid, role="label")
                          + d.accessible(app.process.pid, description="Drag to move. Click to open Orvi.")],
                         [("For Help\nClick Orvi", ""), ("", "Drag to move. Click to open Orvi.")])
        # A round teal button with an amber ring and a white title; outside
        # the circle, and where the collapsed window is, what is behind shows.
        x, y = BUBBLE_HOME
        spots = {(x + 56, y + 12): TEAL, (x + 56, y + 100): TEAL, (x + 2, y + 56): AMBER, (x + 109, y + 56): AMBER,
                 (x + 2, y + 2): BEHIND, (x + 109, y + 109): BEHIND, COLLAPSED[:2]: BEHIND}
        seen = poll(lambda: {spot: d.pixel(*spot) for spot in spots},
                    lambda seen: all(close_to(seen[s], c, 6) for s, c in spots.items()), 10)
        self.assertEqual({s: p for s, p in seen.items() if not close_to(p, spots[s], 6)}, {})
        self.assertGreater(sum(min(p) > 200 for p in d.pixels((x + 20, y + 30, 72, 52))), 40, "a white title")
        self.assertEqual(self.pointer_target(*COLLAPSED[:2]), 0, "clicks go through the collapsed window")
        self.assertNotEqual(self.pointer_target(x + 2, y + 2), app.bubble, "the bubble takes no clicks past its circle")

        self.restore(app)
        self.assertEqual(poll(lambda: [d.pixel(*s) for s in list(spots)[:2]], lambda p: p == [MAGENTA] * 2, 10),
                         [MAGENTA] * 2)
        self.assertNotEqual(self.pointer_target(*COLLAPSED[:2]), 0, "the window takes its clicks again")

    def test_a_dragged_bubble_stays_where_it_was_left(self):
        app, d = self.launch(), self.desktop
        self.collapse(app)
        (cx, cy), moved = centre(self.desktop.geometry(app.bubble)), (BUBBLE_HOME[0] - 300, BUBBLE_HOME[1] - 200)
        d.xdo("mousemove", cx, cy, "mousedown", 1)
        try:
            for dx, dy in [(-100, -66), (-300, -200)]:
                d.xdo("mousemove", cx + dx, cy + dy)
                at = (BUBBLE_HOME[0] + dx, BUBBLE_HOME[1] + dy)
                self.assertEqual(poll(lambda: d.geometry(app.bubble)[:2], lambda p: p == at, 5), at,
                                 "from the first movement on the window manager moves it with the pointer")
        finally:
            d.xdo("mouseup", 1)
        self.settle(app, collapsed(moved))
        time.sleep(1.5)  # room for a click that should not come
        self.assertEqual((app.state(), self.link.of("resume")), (collapsed(moved), []), "a drag is no click")
        self.restore(app)
        self.collapse(app, moved)

    def test_the_window_comes_back_to_the_frame_it_should(self):
        app, d = self.launch(), self.desktop
        put = lambda frame: self.move(app, frame)

        # "wake" and the bubble fill the work area, collapsed or not, and the page resumes even if nothing moved.
        self.restore(app, how=lambda: self.link.post({"type": "wake"}))
        put(OWN_FRAME)
        self.restore(app, how=lambda: self.link.post({"type": "wake"}))
        put(OWN_FRAME)
        self.collapse(app, how=lambda: self.press(app, role="push button", name="Minimize"))  # the title strip's
        self.restore(app)
        # A second launch and Show Orvi give back the frame from before the
        # collapse (the first collapse's, not the 2x2 of a second one), also
        # when the window manager minimised it and reports its sizes late.
        put(OWN_FRAME)
        self.collapse(app)
        self.collapse(app)
        second = lambda: self.assertEqual(self.app(app.install).start().process.exit_status(15), 0, "handed over")
        self.restore(app, OWN_FRAME, second)
        self.assertEqual(poll(d.active, lambda w: w == app.window, 5), app.window)
        for _ in range(3):
            put(OWN_FRAME)
            self.collapse(app, how=lambda: d.xdo("windowminimize", app.window))
            self.restore(app, OWN_FRAME, lambda: d.choose(0))
            self.assertEqual(poll(d.active, lambda w: w == app.window, 5), app.window)
        self.restore(app, how=lambda: self.link.post({"type": "wake"}))
        self.restore(app, OWN_FRAME, lambda: d.keys(app.window, "ctrl+n"))

    def test_the_keyboard_goes_to_the_bubble_never_to_the_hidden_page(self):
        app, d = self.launch(), self.desktop
        hints = lambda: d.dpy.create_resource_object("window", app.bubble).get_wm_hints().input
        d.click(640, 400)
        d.xdo("type", "a")  # the page hears keys while expanded
        self.link.wait_for("key")
        self.collapse(app)
        self.assertEqual(poll(d.active, lambda w: w == app.bubble, 5), app.bubble, "the bubble took the keyboard")
        d.xdo("type", "bc")
        d.xdo("key", "alt+F4")
        d.x("wmctrl", "-i", "-c", hex(app.bubble))  # as a pager or a panel would
        time.sleep(1)
        self.assertEqual((self.link.of("key"), app.process.poll(), app.state()), (["a"], None, collapsed()))
        self.restore(app, how=lambda: d.xdo("key", "Return"))  # as a click does
        self.move(app, OWN_FRAME)
        self.collapse(app)
        self.restore(app, OWN_FRAME, lambda: d.xdo("key", "ctrl+n"))  # the menu's shortcut: the saved frame
        self.collapse(app)
        self.restore(app, how=lambda: d.xdo("key", "space"))
        self.assertEqual(self.link.of("key"), ["a"])
        # Collapsed from a window without the keyboard, the bubble leaves it where it is.
        d.xdo("windowfocus", "--sync", d.panel.id)
        self.collapse(app)
        self.assertEqual((hints(), d.active() == app.bubble), (0, False))
        # The hidden window handed the focus by a program, the window manager's cycling, a click on its spot.
        for focus in (["windowfocus", app.window], ["key", "alt+Tab"], ["mousemove", *COLLAPSED[:2], "click", 1]):
            d.xdo(*focus)
            d.xdo("type", "d")
            focused = poll(lambda: getattr(d.dpy.get_input_focus().focus, "id", 0), lambda w: w != app.window, 2)
            self.assertNotEqual(focused, app.window, focus)
        time.sleep(1)
        self.assertEqual(self.link.of("key"), ["a"])

    def test_close_together_requests_end_where_the_last_one_asked(self):
        app, d, rng = self.launch(), self.desktop, random.Random(7)
        # Each request but the click (it may land on the bubble or the page) has the page paused or resumed.
        requests = [(True, lambda: self.link.send('post({"type": "minimize"})')),
                    (True, lambda: self.link.send('post({"type": "wake"})')),
                    (True, lambda: d.xdo("windowminimize", app.window)),
                    (False, lambda: d.click(BUBBLE_HOME[0] + 56, BUBBLE_HOME[1] + 56)),
                    (True, lambda: d.choose(0)), (True, lambda: self.app(app.install).start())]  # Show Orvi; a second launch
        told = lambda: [(n, k) for k, n in self.link.reports if k in ("pause", "resume")]
        # What is shown agrees with the last pause or resume.
        agrees = lambda seen: seen[0] == (collapsed() if max(seen[1] or [(0, "resume")])[1] == "pause" else expanded())
        for burst in range(100):
            reports = len(told())
            for reports_one, request in rng.choices(requests, [2, 2, 2, 2, 2, 1], k=rng.randint(2, 4)):
                request()
                reports += reports_one
                time.sleep(rng.uniform(0, 0.03))
            for second in self.apps[1:]:
                second.process.exit_status(15)
            poll(told, lambda t: len(t) >= reports, 10)
            with self.subTest(burst=burst):
                self.assertTrue(agrees(seen := poll(lambda: (app.state(), told()), agrees, 5)), seen)


class WithoutWindowManager(E2ETest):
    wm = False

    def test_the_minimise_button_collapses_by_itself(self):
        app, screen = self.launch(), (0, 0, 1280, 800)
        self.press(app, role="push button", name="Minimize")
        want = collapsed(bubble_home(screen), screen)
        self.assertEqual(poll(lambda: app.state() | {"above": False}, lambda s: s == want, 20), want)


if __name__ == "__main__":
    unittest.main()
