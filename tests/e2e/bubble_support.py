"""The program's window and bubble as the bubble and page-bridge tests see
them (in an X session with the top panel), driven through a PageLink page."""

import re
import time

from harness import WORK_AREA, atoms, eventually, wait_until

BUBBLE_SIDE = 112
BUBBLE_INSET = 24
# Where the bubble first appears: 24 px in from the work area's bottom-right corner.
BUBBLE_HOME = (WORK_AREA[0] + WORK_AREA[2] - BUBBLE_INSET - BUBBLE_SIDE,
               WORK_AREA[1] + WORK_AREA[3] - BUBBLE_INSET - BUBBLE_SIDE)
# The collapsed window: 2x2 at the work area's bottom-left corner.
COLLAPSED = (WORK_AREA[0], WORK_AREA[1] + WORK_AREA[3] - 2, 2, 2)


def opacity(props):
    """The window's _NET_WM_WINDOW_OPACITY as a fraction; 1.0 when unset."""
    value = props.get("_NET_WM_WINDOW_OPACITY")
    return int(value.split(",")[0]) / 0xFFFFFFFF if value else 1.0


def accepts_focus(props):
    match = re.search(r"accepts input or input focus:\s*(\w+)", props.get("WM_HINTS", ""))
    return None if not match else match[1] == "True"


class BubbleRig:
    """The program's windows and its page, as one test sees them."""

    def __init__(self, test, app, link):
        self.test, self.x, self.app, self.link = test, test.xsession, app, link
        self.window = None
        self.bubble_id = None

    @classmethod
    def launch(cls, test, install=None):
        """Runs the program, by default with a fresh command page; its rig once it is up."""
        return cls(test, test.make_app(install or test.make_install(test.link.page())), test.link).start()

    def start(self, timeout=30):
        self.app.start()
        self.window = self.app.window(timeout)
        self.link.wait_for("ready", timeout)
        wait_until(lambda: self.x.geometry(self.window) == WORK_AREA, timeout, "the window in the work area")
        # The launch's own resume may reach the page just after it is ready;
        # a round trip through the page lets it arrive before anything counts.
        self.link.run("0", timeout=timeout)
        time.sleep(0.3)
        return self

    def bubble(self, timeout=20):
        """The bubble's window: the program's utility window that is mapped."""
        def find():
            return next((w for w in self.utility_windows() if self.x.map_state(w) == "IsViewable"), None)
        self.bubble_id = wait_until(find, timeout, "the bubble to be shown")
        return self.bubble_id

    def utility_windows(self):
        """Every bubble the program has made, shown or not."""
        return [w for w in self.x.search("--pid", str(self.app.process.pid))
                if "_NET_WM_WINDOW_TYPE_UTILITY" in (self.x.prop(w, "_NET_WM_WINDOW_TYPE") or "")]

    def state(self):
        """The window's and the bubble's state, as collapsed() and expanded() describe them."""
        props = self.x.props(self.window)
        net_state = atoms(props.get("_NET_WM_STATE"))
        return {
            "window": self.x.geometry(self.window),
            "window mapped": self.x.map_state(self.window),
            "window above": "_NET_WM_STATE_ABOVE" in net_state,
            "window minimised": "_NET_WM_STATE_HIDDEN" in net_state,
            "window opacity": round(opacity(props), 2),
            "bubble mapped": self.x.map_state(self.bubble_id) if self.bubble_id else "IsUnMapped",
            "bubble": self.x.geometry(self.bubble_id) if self.bubble_id else None,
        }

    @staticmethod
    def collapsed(bubble_at=BUBBLE_HOME):
        # 0.01 is what the window asks for; X keeps it as 3/255.
        return {"window": COLLAPSED, "window mapped": "IsViewable", "window above": False,
                "window minimised": False, "window opacity": 0.01,
                "bubble mapped": "IsViewable", "bubble": bubble_at + (BUBBLE_SIDE, BUBBLE_SIDE)}

    @staticmethod
    def expanded(frame=WORK_AREA):
        return {"window": frame, "window mapped": "IsViewable", "window above": True,
                "window minimised": False, "window opacity": 1.0, "bubble mapped": "IsUnMapped"}

    def settle(self, want, timeout=20):
        """Waits for the state want; fails showing the last state seen."""
        fields = lambda state: {k: state.get(k) for k in want}
        seen = eventually(lambda: fields(self.state()), lambda s: s == want, timeout)
        self.test.assertEqual(seen, want)

    def wait_collapsed(self, bubble_at=BUBBLE_HOME, timeout=20):
        self.bubble(timeout)
        self.settle(self.collapsed(bubble_at), timeout)

    def wait_expanded(self, frame=WORK_AREA, timeout=20):
        want = self.expanded(frame)
        if not self.bubble_id:
            del want["bubble mapped"]
        self.settle(want, timeout)

    def bubble_centre(self):
        x, y, w, h = self.x.geometry(self.bubble_id)
        return x + w // 2, y + h // 2

    def drag_bubble(self, dx, dy):
        """Presses on the bubble's centre, moves by (dx, dy) in two steps
        and lets go. Never returns with the button still down."""
        cx, cy = self.bubble_centre()
        x0, y0 = self.x.geometry(self.bubble_id)[:2]
        self.x.x(["xdotool", "mousemove", str(cx), str(cy), "mousedown", "1"])
        try:
            for fx, fy in [(dx // 3, dy // 3), (dx, dy)]:
                self.x.x(["xdotool", "mousemove", str(cx + fx), str(cy + fy)])
                # Following the pointer is the window manager's job once
                # the drag has begun; give it the step before the next one.
                eventually(lambda: self.x.geometry(self.bubble_id)[:2], lambda p: p == (x0 + fx, y0 + fy), 5)
        finally:
            self.x.x(["xdotool", "mouseup", "1"])

    def set_frame(self, frame):
        """Moves and sizes the window from outside, as a user would with the
        window manager."""
        x, y, w, h = frame
        self.x.x(["xdotool", "windowsize", str(self.window), str(w), str(h),
                  "windowmove", str(self.window), str(x), str(y)])
        wait_until(lambda: self.x.geometry(self.window) == frame, 15, f"the window at {frame}")
