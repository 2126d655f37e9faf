"""Monitors that change under the station (Xorg's dummy driver, so that the outputs are real RandR outputs): a new
resolution, the monitor going off and coming back, a second monitor that becomes the primary or is unplugged, a panel
that grows. The assistant follows the primary monitor's work area and the bubble stays where it can be clicked."""

import os, time, unittest
from harness import E2ETest, bubble_home, centre, collapsed, expanded, poll

FULL, SMALL = (0, 28, 1920, 1052), (0, 28, 1280, 772)
SECOND_MODE = ["second-1280x1024", "108.00", "1280", "1328", "1440", "1688", "1024", "1025", "1028", "1066", "+hsync", "+vsync"]


@unittest.skipUnless(os.geteuid() == 0, "Xorg's dummy driver runs as root")
class Displays(E2ETest):
    xorg = verbose = True

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desktop.x("xrandr", "--newmode", *SECOND_MODE)
        cls.desktop.x("xrandr", "--addmode", "DUMMY1", SECOND_MODE[0])

    def setUp(self):
        super().setUp()
        self.desktop.set_panel(28)
        self.screens("--output", "DUMMY1", "--off", "--output", "DUMMY0", "--mode", "1920x1080", "--primary")
        self.assertEqual(poll(self.desktop.visible, lambda v: v == FULL, 10), FULL)

    def screens(self, *args):
        """Changes the outputs. The dummy driver reports an output connected only once it is asked, as real hardware
        does by itself on a hot plug: xrandr's query asks."""
        self.desktop.x("xrandr", *args)
        self.desktop.x("xrandr", "--query")

    def follows(self, app, state):
        """The program settles at state(the primary monitor's work area as it is now)."""
        seen = poll(lambda: (app.state(), state(self.desktop.visible())), lambda s: s[0] == s[1], 20)
        self.assertEqual(*seen)

    def collapse(self, app, bubble_at=None):
        self.link.post({"type": "minimize"})
        self.follows(app, lambda v: collapsed(bubble_at or bubble_home(v), v))

    def click_bubble(self, app):
        self.desktop.xdo("mousemove", 10, 700)  # not resting on the bubble when it moved
        self.desktop.click(*centre(self.desktop.geometry(app.bubble)))
        self.follows(app, expanded)

    def test_the_assistant_follows_the_primary_monitor(self):
        app, d = self.launch(), self.desktop
        self.follows(app, expanded)
        self.screens("--output", "DUMMY0", "--mode", "1280x800")
        self.follows(app, lambda v: expanded(SMALL))
        # A television going to standby and back: at once, and after the program has seen no monitor at all.
        for standby in (0, 2):
            self.screens("--output", "DUMMY0", "--off")
            time.sleep(standby)
            self.screens("--output", "DUMMY0", "--mode", "1920x1080")
            self.follows(app, lambda v: expanded(FULL))
        self.screens("--output", "DUMMY1", "--mode", SECOND_MODE[0], "--right-of", "DUMMY0", "--primary")
        self.follows(app, lambda v: expanded((1920, 28, 1280, 996)))
        d.set_panel(60)
        self.follows(app, lambda v: expanded((1920, 60, 1280, 964)))
        # A frame of the user's own keeps its distance from the bottom-left corner where it can, and is back once
        # the screen is.
        self.screens("--output", "DUMMY1", "--off", "--output", "DUMMY0", "--primary")
        self.follows(app, lambda v: expanded((0, 60, 1920, 1020)))
        self.move(app, (600, 300, 1000, 650))
        self.screens("--output", "DUMMY0", "--mode", "1280x800")
        self.follows(app, lambda v: expanded((280, 60, 1000, 650)))
        self.screens("--output", "DUMMY0", "--mode", "1920x1080")
        self.follows(app, lambda v: expanded((600, 300, 1000, 650)))

    def test_the_bubble_stays_where_it_can_be_clicked(self):
        app, d = self.launch(), self.desktop
        self.collapse(app)
        self.screens("--output", "DUMMY0", "--mode", "1280x800")
        self.follows(app, lambda v: collapsed(bubble_home(SMALL), SMALL))
        self.click_bubble(app)
        # Dragged onto a second monitor that is then unplugged: home on the primary.
        self.screens("--output", "DUMMY0", "--mode", "1920x1080", "--output", "DUMMY1", "--mode", SECOND_MODE[0],
                     "--right-of", "DUMMY0")
        self.collapse(app, bubble_home(SMALL))  # where it was last
        self.drag(app, (2444, 344), (56, 56))
        self.follows(app, lambda v: collapsed((2444, 344), v))
        self.screens("--output", "DUMMY1", "--off")
        self.follows(app, lambda v: collapsed(bubble_home(FULL), FULL))
        # Let go half off the screen, it comes back inside the work area, where it is nearest. (The pointer stays
        # inside: openbox would go to the next desktop.)
        self.drag(app, (1870, 500), (20, 56))
        self.follows(app, lambda v: collapsed((1808, 500), v))
        d.set_panel(600)  # openbox takes half the screen at most
        self.follows(app, lambda v: collapsed((1808, 540), v))
        self.click_bubble(app)

    def drag(self, app, to, grip):
        """Drags the bubble by the point grip inside it until its top-left corner is at to, and lets go."""
        d, (x, y) = self.desktop, self.desktop.geometry(app.bubble)[:2]
        d.xdo("mousemove", x + grip[0], y + grip[1], "mousedown", 1)
        try:
            for step in (0.5, 1):
                at = (int(x + (to[0] - x) * step), int(y + (to[1] - y) * step))
                d.xdo("mousemove", at[0] + grip[0], at[1] + grip[1])
                self.assertEqual(poll(lambda: d.geometry(app.bubble)[:2], lambda p: p == at, 5), at)
        finally:
            d.xdo("mouseup", 1)


if __name__ == "__main__":
    unittest.main()
