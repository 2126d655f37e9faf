"""What the bubble and page-bridge tests share: a test page the test can
drive, a look at X windows' properties, a window that records the clicks
that reach it, and a fake default browser.

The page cannot be scripted from outside, so it asks a local server for its
next command: it loads <script src=".../next"> again and again, and the
server holds each request open until a command is queued (or a second has
passed). The same server records what the page reports, like the harness's
Recorder.
"""

import http.server
import json
import os
import re
import subprocess
import threading
import time
import urllib.parse

from harness import PANEL_HEIGHT, SCREEN, Recorder, eventually, wait_for_bus_name, wait_until

WORK_AREA = (0, PANEL_HEIGHT, SCREEN[0], SCREEN[1] - PANEL_HEIGHT)
BUBBLE_SIDE = 112
BUBBLE_INSET = 24
# Where the bubble first appears: 24 px in from the work area's bottom-right corner.
BUBBLE_HOME = (WORK_AREA[0] + WORK_AREA[2] - BUBBLE_INSET - BUBBLE_SIDE,
               WORK_AREA[1] + WORK_AREA[3] - BUBBLE_INSET - BUBBLE_SIDE)
# The collapsed window: 2x2 at the work area's bottom-left corner.
COLLAPSED = (WORK_AREA[0], WORK_AREA[1] + WORK_AREA[3] - 2, 2, 2)
PAGE_COLOUR = (255, 0, 255)
SHOTS = "/tmp/orvi-shots"

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8">
<style>html, body { margin: 0; height: 100%; background: #ff00ff; }</style>
<script>
(function () {
  var base = 'http://127.0.0.1:@PORT@/';
  window.report = function (kind, data) {
    new Image().src = base + kind + '?' + encodeURIComponent(JSON.stringify(data === undefined ? null : data));
  };
  var pauses = 0, resumes = 0;
  window.orviPause = function () { report('pause', ++pauses); };
  window.orviResume = function () { report('resume', ++resumes); };
  window.post = function (body) { window.webkit.messageHandlers.orvi.postMessage(body); };
  var asked = 0;
  function next() {
    var script = document.createElement('script');
    script.src = base + 'next?@GENERATION@.' + (++asked);
    script.onload = function () { script.remove(); setTimeout(next, 0); };
    script.onerror = function () { script.remove(); setTimeout(next, 200); };
    document.head.appendChild(script);
  }
  // A command that does not even parse says so too.
  window.addEventListener('error', function (e) { report('failed', { error: e.message }); });
  report('ready');
  next();
})();
</script></head><body></body></html>"""


class PageLink:
    """The test page's server: commands go out through /next, reports come
    in as GET /<kind>?<URI-encoded JSON> (kept as Recorder keeps them)."""

    def __init__(self):
        self.reports = []
        self._commands = []
        self._changed = threading.Condition()
        self._last_id = 0
        self._generation = 0
        link = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                kind = url.path.lstrip("/")
                if kind == "next":
                    generation = url.query.partition(".")[0]
                    body, content_type = link._next_command(generation).encode(), "text/javascript"
                else:
                    text = urllib.parse.unquote(url.query)
                    try:
                        data = json.loads(text) if text else None
                    except ValueError:
                        data = text
                    with link._changed:
                        link.reports.append((kind, data))
                        link._changed.notify_all()
                    body, content_type = Recorder.GIF, "image/gif"
                try:
                    self.send_response(200)
                    self.send_header("Content-Type", content_type)
                    self.send_header("Cache-Control", "no-store")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                except OSError:
                    pass  # the page went away (the program quit) while it waited

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.server.block_on_close = False
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()

    def page(self):
        """The test page's text. Each call makes a new page: commands go only
        to the newest, never to one left over from an earlier run."""
        with self._changed:
            self._generation += 1
            return PAGE.replace("@PORT@", str(self.port)).replace("@GENERATION@", str(self._generation))

    def _next_command(self, generation):
        with self._changed:
            current = lambda: generation == str(self._generation)
            self._changed.wait_for(lambda: self._commands and current(), timeout=1.0)
            return self._commands.pop(0) if self._commands and current() else ""

    def run(self, js, wait=True, timeout=15):
        """Has the page run js; by default waits until it has."""
        with self._changed:
            self._last_id += 1
            number = self._last_id
            self._commands.append(
                f"try {{ {js}; report('done', {number}); }} "
                f"catch (e) {{ report('failed', {{ id: {number}, error: String(e) }}); }}")
            self._changed.notify_all()
        if wait:
            self.wait_for("done", timeout, lambda n: n == number)
        return number

    def post(self, body, wait=True):
        """The page posts body to the program's message handler."""
        return self.run(f"post({json.dumps(body)})", wait)

    def of(self, kind):
        with self._changed:
            return [data for k, data in self.reports if k == kind]

    def count(self, kind):
        return len(self.of(kind))

    def clear(self):
        with self._changed:
            self.reports.clear()
            self._commands.clear()

    def wait_for(self, kind, timeout=15, predicate=lambda data: True, count=1):
        """The count-th report of kind that satisfies predicate."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                matching = [d for k, d in self.reports if k == kind and predicate(d)]
                if len(matching) >= count:
                    return matching[count - 1]
                failed = [d for k, d in self.reports if k == "failed"]
                if failed:
                    raise AssertionError(f"a page command failed: {failed}")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"no report '{kind}' (#{count}) within {timeout} s; "
                                       f"got {[k for k, _ in self.reports]}")
                self._changed.wait(left)


# X windows, as xprop and xwininfo show them.

PROPERTY_LINE = re.compile(r"^(\w+)\(([^)]*)\)(?:\s*=\s*(.*)|:\s*(.*))$")


def properties(xsession, wid):
    """Every property of a window: name -> its value text (continuation lines
    joined with newlines). Empty when the window is gone."""
    out = xsession.x(["xprop", "-id", str(wid)], check=False) or ""
    found, name = {}, None
    for line in out.splitlines():
        match = PROPERTY_LINE.match(line)
        if match:
            name = match[1]
            found[name] = (match[3] if match[3] is not None else match[4]).strip()
        elif name and line.startswith(("\t", " ")):
            found[name] = (found[name] + "\n" + line.strip()).strip()
    return found


def atoms(value):
    return {a.strip() for a in (value or "").split(",") if a.strip()}


def window_ids(text):
    return [int(h, 16) for h in re.findall(r"0x[0-9a-fA-F]+", text or "")]


def map_state(xsession, wid):
    """IsViewable, IsUnMapped or IsUnviewable; None when the window is gone."""
    out = xsession.x(["xwininfo", "-id", str(wid)], check=False) or ""
    match = re.search(r"Map State:\s*(\w+)", out)
    return match[1] if match else None


def managed_windows(xsession):
    """The window manager's list of the windows it manages (mapped ones)."""
    out = xsession.x(["xprop", "-root", "_NET_CLIENT_LIST"], check=False) or ""
    return window_ids(out.split("=", 1)[-1] if "=" in out else out.partition(":")[2])


def windows_of(xsession, pid):
    """Top-level windows, mapped or not, that a process has made."""
    out = xsession.x(["xdotool", "search", "--pid", str(pid)], check=False) or ""
    return [int(w) for w in out.split()]


def opacity(props):
    """The window's _NET_WM_WINDOW_OPACITY as a fraction; 1.0 when unset."""
    value = props.get("_NET_WM_WINDOW_OPACITY")
    return int(value.split(",")[0]) / 0xFFFFFFFF if value else 1.0


def accepts_focus(props):
    hints = props.get("WM_HINTS", "")
    match = re.search(r"accepts input or input focus:\s*(\w+)", hints)
    return None if not match else match[1] == "True"


class BubbleRig:
    """The program's windows and its page, as one test sees them."""

    def __init__(self, test, app, link):
        self.test, self.x, self.app, self.link = test, test.xsession, app, link
        self.window = None
        self.bubble_id = None

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
            for wid in self.utility_windows():
                if map_state(self.x, wid) == "IsViewable":
                    return wid
            return None
        self.bubble_id = wait_until(find, timeout, "the bubble to be shown")
        return self.bubble_id

    def utility_windows(self):
        """Every bubble the program has made, shown or not."""
        return [w for w in windows_of(self.x, self.app.process.pid)
                if "_NET_WM_WINDOW_TYPE_UTILITY" in properties(self.x, w).get("_NET_WM_WINDOW_TYPE", "")]

    def state(self):
        """The window's and the bubble's state, as collapsed() and expanded() describe them."""
        props = properties(self.x, self.window)
        net_state = atoms(props.get("_NET_WM_STATE"))
        return {
            "window": self.x.geometry(self.window),
            "window mapped": map_state(self.x, self.window),
            "window above": "_NET_WM_STATE_ABOVE" in net_state,
            "window minimised": "_NET_WM_STATE_HIDDEN" in net_state,
            "window opacity": round(opacity(props), 2),
            "bubble mapped": map_state(self.x, self.bubble_id) if self.bubble_id else "IsUnMapped",
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
        seen = eventually(lambda: fields(self.state()), lambda s: s == want, timeout, interval=0.1)
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

    def click(self, x, y):
        self.x.x(["xdotool", "mousemove", str(x), str(y), "click", "1"])

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


def capture_script(constraints, tag):
    """Page script asking for capture devices; reports 'capture' with the
    outcome: the tracks' kinds and labels, or the error's name."""
    tag = json.dumps(tag)
    return (f"navigator.mediaDevices.getUserMedia({constraints}).then("
            f"s => report('capture', {{ tag: {tag}, tracks: s.getTracks().map(t => t.kind + ': ' + t.label) }}), "
            f"e => report('capture', {{ tag: {tag}, error: e.name }}))")



# Dialogs, read through the accessibility bus: texts and buttons as a screen
# reader would find them.
A11Y_DIALOGS = r"""
import json
import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi

def nodes(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from nodes(child)

def describe(dialog):
    texts, buttons = [], []
    for node in nodes(dialog):
        if node.get_role() == Atspi.Role.LABEL:
            texts.append(node.get_name())
        elif node.get_role() == Atspi.Role.PUSH_BUTTON:
            box = node.get_extents(Atspi.CoordType.SCREEN)
            buttons.append({'name': node.get_name(),
                            'default': node.get_state_set().contains(Atspi.StateType.IS_DEFAULT),
                            'centre': [box.x + box.width // 2, box.y + box.height // 2]})
    return {'texts': texts, 'buttons': buttons}

found = []
desktop = Atspi.get_desktop(0)
for i in range(desktop.get_child_count()):
    app = desktop.get_child_at_index(i)
    for j in range(app.get_child_count() if app else 0):
        top = app.get_child_at_index(j)
        if (top is not None and top.get_role() in (Atspi.Role.ALERT, Atspi.Role.DIALOG)
                and top.get_state_set().contains(Atspi.StateType.SHOWING)):
            found.append(describe(top))
print(json.dumps(found))
"""


def start_accessibility_bus(test):
    """The accessibility bus on the class's session bus; programs started
    after it expose their widgets there."""
    test.start_helper("a11y", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                      env={"DISPLAY": test.xsession.display})
    wait_for_bus_name(test.bus.session_address, "org.a11y.Bus")


def shown_dialogs(test):
    """The dialogs on screen, each as {texts, buttons}; a button is
    {name, default, centre}."""
    env = dict(os.environ, DISPLAY=test.xsession.display, **test.bus.env())
    out = subprocess.run(["/usr/bin/python3", "-c", A11Y_DIALOGS], env=env, capture_output=True,
                         text=True, timeout=30)
    try:
        return json.loads(out.stdout)
    except ValueError:
        return []


CLICK_CATCHER = """
import sys
import gi
gi.require_version('Gtk', '3.0')
gi.require_version('GdkX11', '3.0')
from gi.repository import Gtk, Gdk, GdkX11
x, y, width, height = map(int, sys.argv[1:5])
css = Gtk.CssProvider()
css.load_from_data(b'window { background: rgb(0, 200, 0); }')
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, 600)
w = Gtk.Window(title='e2e click catcher')
w.set_decorated(False)
w.set_keep_below(True)
w.move(x, y)
w.set_default_size(width, height)
w.add_events(Gdk.EventMask.BUTTON_PRESS_MASK)
def pressed(_, event):
    print('press', int(event.x_root), int(event.y_root), event.button, flush=True)
w.connect('button-press-event', pressed)
w.connect('map-event', lambda *_: print('mapped', w.get_window().get_xid(), flush=True))
w.show_all()
Gtk.main()
"""
CATCHER_COLOUR = (0, 200, 0)


def start_click_catcher(test, rect=WORK_AREA):
    """A green window below every other that logs each press reaching it as
    'press X Y BUTTON'; returns (process, its window)."""
    process = test.xsession.spawn("click-catcher", ["/usr/bin/python3", "-c", CLICK_CATCHER,
                                                    *map(str, rect)])
    test.addCleanup(process.stop)
    test.keep_log("click catcher", process)
    wid = int(wait_until(lambda: re.search(r"mapped (\d+)", process.log()), 15, "the click catcher")[1])
    wait_until(lambda: test.xsession.geometry(wid) == rect, 10, "the click catcher in place")
    return process, wid


def presses(process):
    return [tuple(map(int, line.split()[1:])) for line in process.log().splitlines()
            if line.startswith("press ")]


# The fake default browser: a handler that writes down each call's arguments.

RECORD_URL = """#!/usr/bin/python3
import json, sys
with open(sys.argv[1], 'a', encoding='utf-8') as f:
    f.write(json.dumps(sys.argv[2:]) + '\\n')
"""

# Everything a wrongly let-through link could end up at goes to the fake
# browser too, so that it would be seen.
HANDLED_TYPES = ["x-scheme-handler/https", "x-scheme-handler/http", "x-scheme-handler/file",
                 "x-scheme-handler/javascript", "x-scheme-handler/mailto", "x-scheme-handler/ftp",
                 "text/plain", "text/html", "application/octet-stream", "inode/directory"]


class FakeBrowser:
    """The install's default application for web links (and for the other
    schemes and file types above)."""

    def __init__(self, install):
        self.log_path = os.path.join(install.root, "opened.jsonl")
        script = os.path.join(install.root, "record-url")
        with open(script, "w") as f:
            f.write(RECORD_URL)
        os.chmod(script, 0o755)
        applications = os.path.join(install.dirs["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, "fake-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Fake Browser\n"
                    f"Exec={script} {self.log_path} %u\n"
                    f"MimeType={';'.join(HANDLED_TYPES)};\n")
        with open(os.path.join(install.dirs["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n")
            for kind in HANDLED_TYPES:
                f.write(f"{kind}=fake-browser.desktop\n")

    def opened(self):
        """The argument lists of the calls so far."""
        try:
            with open(self.log_path, encoding="utf-8") as f:
                return [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def forget(self):
        try:
            os.remove(self.log_path)
        except FileNotFoundError:
            pass

    def open_directly(self, env, urls):
        """Opens each URL the way the program does (with GIO, in the
        program's environment) but without its checks."""
        code = ("import sys\nfrom gi.repository import Gio\n"
                "for url in sys.argv[1:]:\n"
                "    try:\n        Gio.AppInfo.launch_default_for_uri(url, None)\n"
                "    except Exception as e:\n        print(url, e)\n")
        subprocess.run(["/usr/bin/python3", "-c", code, *urls], env=env, capture_output=True, timeout=30)


def save_png(screenshot, name):
    """Keeps a screenshot where a person can look at it; returns its path."""
    os.makedirs(SHOTS, exist_ok=True)
    path = os.path.join(SHOTS, name)
    ppm = b"P6\n%d %d\n255\n" % (screenshot.width, screenshot.height) + screenshot.data
    subprocess.run(["/usr/bin/convert", "ppm:-", path], input=ppm, check=True, timeout=30)
    return path


def close_to(pixel, colour, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))
