"""Bubble mode on the real binary: the assistant collapsing into the round
bubble and coming back, the bubble's look and place, dragging it, and the
nearly invisible window it leaves behind. Runs under Xvfb + openbox +
xcompmgr with a 28-pixel top panel."""

import time
import unittest

from bubble_support import BUBBLE_HOME, BUBBLE_SIDE, COLLAPSED, BubbleRig, accepts_focus
from harness import WORK_AREA, E2ETestCase, atoms, eventually, wait_until

PAGE_COLOUR = (255, 0, 255)
CATCHER_COLOUR = (0, 200, 0)
TEAL = (20, 82, 92)
AMBER = (245, 173, 20)


def close_to(pixel, colour, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def presses(catcher):
    """(x, y, button) of each press that reached the click catcher."""
    return [tuple(map(int, line.split()[1:])) for line in catcher.log().splitlines() if line.startswith("press ")]


class Bubble(E2ETestCase):
    session = dict(panel=True, compositor=True, link=True)

    def setUp(self):
        super().setUp()
        # Out of every spot the tests look at, so no tooltip gets in the way.
        self.xsession.x(["xdotool", "mousemove", "640", "300"])

    def start_click_catcher(self):
        """A green window below every other over the work area that logs each
        press reaching it."""
        catcher, wid = self.xsession.helper_window("catcher", WORK_AREA)
        self.addCleanup(catcher.stop)
        self.keep_log("click catcher", catcher)
        wait_until(lambda: self.xsession.geometry(wid) == WORK_AREA, 10, "the click catcher in place")
        return catcher

    def collapse(self, rig, bubble_at=BUBBLE_HOME):
        pauses = self.link.count("pause")
        self.link.post({"type": "minimize"})
        rig.wait_collapsed(bubble_at)
        self.link.wait_for("pause", count=pauses + 1)

    def restore_by_clicking(self, rig, frame=WORK_AREA):
        resumes = self.link.count("resume")
        self.xsession.click(*rig.bubble_centre())
        rig.wait_expanded(frame)
        self.link.wait_for("resume", count=resumes + 1)

    def test_collapse_leaves_a_faint_click_through_window_and_shows_the_bubble(self):
        catcher = self.start_click_catcher()
        rig = BubbleRig.launch(self)
        self.collapse(rig)

        bubble = self.xsession.props(rig.bubble_id)
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
        print("\ncollapsed:", shot.save("collapsed.png"))
        self.assertEqual({name: shot.pixel(*spot) for name, (spot, _) in spots.items() if not look(shot)[name]},
                         {}, "pixels that are not what they should be")
        white = sum(1 for x in range(bx + 20, bx + BUBBLE_SIDE - 20) for y in range(by + 30, by + 82)
                    if min(shot.pixel(x, y)) > 200)
        self.assertGreater(white, 40, "no white title on the bubble")

        # A click on the collapsed window's spot reaches the window below.
        self.xsession.click(*COLLAPSED[:2])
        eventually(lambda: presses(catcher), lambda p: (0, COLLAPSED[1], 1) in p, 5)
        self.assertIn((0, COLLAPSED[1], 1), presses(catcher))

        self.restore_by_clicking(rig)
        shot = eventually(self.xsession.screenshot, lambda s: s.pixel(bx + mid, by + 12) == PAGE_COLOUR, 10)
        print("expanded:", shot.save("expanded.png"))
        self.assertEqual([shot.pixel(*COLLAPSED[:2]), shot.pixel(bx + mid, by + 12)], [PAGE_COLOUR] * 2)
        # Expanded, the window takes its clicks again.
        before = len(presses(catcher))
        self.xsession.click(*COLLAPSED[:2])
        self.xsession.click(640, 400)
        time.sleep(0.5)
        self.assertEqual(len(presses(catcher)), before)

    def test_every_way_into_the_bubble_and_back(self):
        rig = BubbleRig.launch(self)
        x = self.xsession

        def page_minimises():
            self.link.post({"type": "minimize"})

        def window_manager_minimises():
            x.x(["xdotool", "windowminimize", str(rig.window)])

        def bubble_click():
            x.click(*rig.bubble_centre())

        def page_wakes():
            self.link.post({"type": "wake"})

        def second_launch():
            self.assertEqual(self.make_app(rig.app.install).start().wait_exit(15), 0)

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
        rig = BubbleRig.launch(self)
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
        rig = BubbleRig.launch(self)
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
        self.assertEqual(self.make_app(rig.app.install).start().wait_exit(15), 0)
        rig.wait_expanded(own_frame)

        self.collapse(rig)
        self.restore_by_clicking(rig, WORK_AREA)


if __name__ == "__main__":
    unittest.main()
