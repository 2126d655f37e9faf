"""Bubble mode on the real binary: the assistant collapsing into the round
bubble and coming back, the bubble's look and place, dragging it, and the
nearly invisible window it leaves behind. Runs under Xvfb + openbox +
xcompmgr with a 28-pixel top panel."""

import time
import unittest

from bubble_support import (BUBBLE_HOME, BUBBLE_SIDE, CATCHER_COLOUR, COLLAPSED, PAGE_COLOUR, WORK_AREA,
                            BubbleRig, PageLink, accepts_focus, atoms, close_to, presses, properties,
                            save_png, start_click_catcher)
from harness import E2ETestCase, PrivateBus, XSession, eventually

TEAL = (20, 82, 92)
AMBER = (245, 173, 20)


class Bubble(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        cls.xsession = cls.enterClassContext(XSession(panel=True, compositor=True))
        cls.bus = cls.enterClassContext(PrivateBus())
        cls.link = cls.enterClassContext(PageLink())

    def setUp(self):
        self.link.clear()
        # Out of every spot the tests look at, so no tooltip gets in the way.
        self.xsession.x(["xdotool", "mousemove", "640", "300"])

    def launch(self):
        self.install = self.make_install(self.link.page())
        return BubbleRig(self, self.make_app(self.install), self.link).start()

    def collapse(self, rig, bubble_at=BUBBLE_HOME):
        pauses = self.link.count("pause")
        self.link.post({"type": "minimize"})
        rig.wait_collapsed(bubble_at)
        self.link.wait_for("pause", count=pauses + 1)

    def restore_by_clicking(self, rig, frame=WORK_AREA):
        resumes = self.link.count("resume")
        rig.click(*rig.bubble_centre())
        rig.wait_expanded(frame)
        self.link.wait_for("resume", count=resumes + 1)

    def test_collapse_leaves_a_faint_click_through_window_and_shows_the_bubble(self):
        catcher, _ = start_click_catcher(self)
        rig = self.launch()
        self.collapse(rig)

        bubble = properties(self.xsession, rig.bubble_id)
        self.assertIn("_NET_WM_WINDOW_TYPE_UTILITY", bubble.get("_NET_WM_WINDOW_TYPE", ""))
        self.assertIs(accepts_focus(bubble), False, "the bubble must not take the focus")
        self.assertLessEqual({"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"},
                             atoms(bubble.get("_NET_WM_STATE")))
        self.assertEqual(bubble.get("_NET_WM_DESKTOP"), str(0xFFFFFFFF), "the bubble is on every desktop")
        self.assertEqual(bubble.get("_NET_FRAME_EXTENTS"), "0, 0, 0, 0", "the bubble has no frame")

        # A round teal button with an amber ring and white text; outside the
        # circle the window below shows.
        bx, by = BUBBLE_HOME
        mid = BUBBLE_SIDE // 2
        spots = {
            "fill near the top": ((bx + mid, by + 12), TEAL),
            "fill near the bottom": ((bx + mid, by + BUBBLE_SIDE - 12), TEAL),
            "ring on the left": ((bx + 2, by + mid), AMBER),
            "ring on the right": ((bx + BUBBLE_SIDE - 3, by + mid), AMBER),
            "top-left corner": ((bx + 2, by + 2), CATCHER_COLOUR),
            "bottom-right corner": ((bx + BUBBLE_SIDE - 3, by + BUBBLE_SIDE - 3), CATCHER_COLOUR),
            # 1% of the page's magenta over the green below.
            "collapsed window": (COLLAPSED[:2], CATCHER_COLOUR),
        }
        def look(shot):
            return {name: close_to(shot.pixel(*spot), colour, 6 if name == "collapsed window" else 3)
                    for name, (spot, colour) in spots.items()}
        shot = eventually(self.xsession.screenshot, lambda s: all(look(s).values()), 10)
        print("\ncollapsed:", save_png(shot, "collapsed.png"))
        self.assertEqual({name: shot.pixel(*spot) for name, (spot, _) in spots.items() if not look(shot)[name]},
                         {}, "pixels that are not what they should be")
        white = sum(1 for x in range(bx + 20, bx + BUBBLE_SIDE - 20) for y in range(by + 30, by + 82)
                    if min(shot.pixel(x, y)) > 200)
        self.assertGreater(white, 40, "no white title on the bubble")

        # A click on the collapsed window's spot reaches the window below.
        rig.click(*COLLAPSED[:2])
        eventually(lambda: presses(catcher), lambda p: (0, COLLAPSED[1], 1) in p, 5)
        self.assertIn((0, COLLAPSED[1], 1), presses(catcher))

        self.restore_by_clicking(rig)
        shot = eventually(self.xsession.screenshot, lambda s: s.pixel(bx + mid, by + 12) == PAGE_COLOUR, 10)
        print("expanded:", save_png(shot, "expanded.png"))
        self.assertEqual([shot.pixel(*COLLAPSED[:2]), shot.pixel(bx + mid, by + 12)], [PAGE_COLOUR] * 2)
        # Expanded, the window takes its clicks again.
        before = len(presses(catcher))
        rig.click(*COLLAPSED[:2])
        rig.click(640, 400)
        time.sleep(0.5)
        self.assertEqual(len(presses(catcher)), before)

    def test_every_way_into_the_bubble_and_back(self):
        rig = self.launch()
        x = self.xsession

        def page_minimises():
            self.link.post({"type": "minimize"})

        def window_manager_minimises():
            x.x(["xdotool", "windowminimize", str(rig.window)])

        def bubble_click():
            rig.click(*rig.bubble_centre())

        def page_wakes():
            self.link.post({"type": "wake"})

        def second_launch():
            self.assertEqual(self.make_app(self.install).start().wait_exit(15), 0)

        cycles = [
            (page_minimises, bubble_click),
            (window_manager_minimises, page_wakes),
            (page_minimises, second_launch),
            (window_manager_minimises, bubble_click),
        ]
        for collapse, restore in cycles:
            with self.subTest(collapse=collapse.__name__, restore=restore.__name__):
                pauses, resumes = self.link.count("pause"), self.link.count("resume")
                collapse()
                rig.wait_collapsed()
                self.link.wait_for("pause", count=pauses + 1)
                restore()
                rig.wait_expanded()
                self.link.wait_for("resume", count=resumes + 1)
                self.assertEqual((self.link.count("pause"), self.link.count("resume")), (pauses + 1, resumes + 1))

        # Collapsing again while collapsed pauses again and shows the same bubble.
        page_minimises()
        rig.wait_collapsed()
        page_minimises()
        self.link.wait_for("pause", count=len(cycles) + 2)
        rig.wait_collapsed()
        self.assertEqual(rig.utility_windows(), [rig.bubble_id], "one bubble, made once")

    def test_dragging_the_bubble_moves_it_for_good_without_opening_the_window(self):
        rig = self.launch()
        self.collapse(rig)
        moved = (BUBBLE_HOME[0] - 300, BUBBLE_HOME[1] - 200)

        resumes = self.link.count("resume")
        rig.drag_bubble(-300, -200)
        rig.wait_collapsed(moved)
        # A click would have restored it by now: watch for a while that it stays.
        stayed = eventually(rig.state, lambda s: s != rig.collapsed(moved) or self.link.count("resume") > resumes, 1.5)
        self.assertEqual(stayed, rig.collapsed(moved))
        self.assertEqual(self.link.count("resume"), resumes, "a drag is not a click")

        self.restore_by_clicking(rig)
        self.collapse(rig, bubble_at=moved)

    def test_reopening_brings_back_the_frame_from_before_the_collapse(self):
        rig = self.launch()
        own_frame = (100, 60, 1000, 650)

        # "wake" and a bubble click fill the work area whatever was saved;
        # a second launch gives back the saved frame, and a second collapse
        # (from a 2x2 window) does not overwrite it.
        rig.set_frame(own_frame)
        self.collapse(rig)
        self.link.post({"type": "wake"})
        rig.wait_expanded(WORK_AREA)

        rig.set_frame(own_frame)
        self.collapse(rig)
        self.collapse(rig)
        self.assertEqual(self.make_app(self.install).start().wait_exit(15), 0)
        rig.wait_expanded(own_frame)

        self.collapse(rig)
        self.restore_by_clicking(rig, WORK_AREA)


if __name__ == "__main__":
    unittest.main()
