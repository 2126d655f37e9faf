"""End-to-end harness: runs the real orvi-desktop binary in a private X
display and private D-Bus buses, and lets tests look at what it did.

Everything here waits by polling with a deadline; nothing is left running
when a context manager exits. Run with Debian's Python (/usr/bin/python3).
"""

import http.server
import json
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

from gi.repository import Gio, GLib

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BINARY = os.environ.get("ORVI_E2E_BINARY", os.path.join(REPO, "build", "dev", "orvi-desktop"))
BUILD_DIR = os.environ.get("ORVI_E2E_BUILD_DIR", os.path.join(REPO, "build", "dev"))
RESOURCES = os.path.join(REPO, "resources", "OrviDesktop_OrviDesktop.bundle", "Resources")
BUNDLE = "OrviDesktop_OrviDesktop.bundle"
APP_ID = "ai.orvi.orvi-desktop"
TITLE = "Orvi AI Life"
SCREEN = (1280, 800)
PANEL_HEIGHT = 28
WORK_AREA = (0, PANEL_HEIGHT, SCREEN[0], SCREEN[1] - PANEL_HEIGHT)  # with the panel
SHOTS = "/tmp/orvi-shots"

# How long a program may take to come up. Only a failure ever waits this
# long; the first start on a fresh machine (empty font and icon caches, cold
# disk) and a loaded machine can take far longer than usual.
STARTUP = 60

BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
"""

# An undecorated window at x, y, width, height that prints 'mapped XID' once
# mapped: a 'panel' is a dock (the harness gives it its strut); a 'catcher' is
# green, below every other window, and prints 'press X Y BUTTON' for each
# press that reaches it.
HELPER_WINDOW = """
import sys
import gi
gi.require_version('Gtk', '3.0')
gi.require_version('GdkX11', '3.0')
from gi.repository import Gtk, Gdk, GdkX11
kind, (x, y, width, height) = sys.argv[1], map(int, sys.argv[2:6])
w = Gtk.Window(title='e2e ' + kind)
w.set_decorated(False)
w.move(x, y)
w.set_default_size(width, height)
if kind == 'panel':
    w.set_type_hint(Gdk.WindowTypeHint.DOCK)
else:
    css = Gtk.CssProvider()
    css.load_from_data(b'window { background: rgb(0, 200, 0); }')
    Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, 600)
    w.set_keep_below(True)
    w.add_events(Gdk.EventMask.BUTTON_PRESS_MASK)
    w.connect('button-press-event',
              lambda _, e: print('press', int(e.x_root), int(e.y_root), e.button, flush=True))
w.connect('map-event', lambda *_: print('mapped', w.get_window().get_xid(), flush=True))
w.show_all()
Gtk.main()
"""

# One line of xprop's output: NAME(TYPE) = value, or NAME(TYPE): value.
PROPERTY_LINE = re.compile(r"^(\w+)\(([^)]*)\)(?:\s*=\s*(.*)|:\s*(.*))$")


def wait_until(predicate, timeout, what="condition"):
    """Polls predicate until it returns something truthy and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.1)


def eventually(probe, predicate, timeout):
    """Polls probe until predicate(value) holds; returns the last value either
    way, so that the caller's assertion shows what was really there."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if predicate(value) or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


def run(args, env=None, timeout=15):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if result.returncode != 0:
        raise RuntimeError(f"{args[0]} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


class Process:
    """A child in its own process group, its output going to a log file."""

    def __init__(self, args, env, log_path, pass_fds=()):
        self.args, self.log_path = args, log_path
        with open(log_path, "wb") as log:
            self.popen = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                          start_new_session=True, pass_fds=pass_fds)
        self.pid = self.popen.pid

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout):
        """The exit status, or None if it is still running after timeout."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, timeout=5):
        """Ends the whole group, also what the child left behind (WebKit's
        helper processes); returns the child's exit status."""
        try:
            os.killpg(self.pid, signal.SIGTERM)
            self.wait(timeout)
            os.killpg(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        return self.popen.wait()

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""


def dbus_call(address, name, path, method, args=None, timeout=5):
    """Calls interface.Method on a bus given by address; the reply unpacked."""
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
             | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    connection = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
    try:
        interface, _, member = method.rpartition(".")
        reply = connection.call_sync(name, path, interface, member, args, None,
                                     Gio.DBusCallFlags.NO_AUTO_START, int(timeout * 1000), None)
        return reply.unpack() if reply is not None else None
    finally:
        connection.close_sync(None)


def wait_for_bus_name(address, name, timeout=15):
    wait_until(lambda: dbus_call(address, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus.NameHasOwner", GLib.Variant("(s)", (name,)))[0],
               timeout, f"{name} on the bus")


def atoms(value):
    """The atoms of a property's value text, as a set."""
    return {a.strip() for a in (value or "").split(",") if a.strip()}


def window_ids(value):
    """The window ids in a property's value text."""
    return [int(h, 16) for h in re.findall(r"0x[0-9a-fA-F]+", value or "")]


class XSession:
    """A fresh Xvfb with openbox, optionally with xcompmgr and a top panel,
    and what the tests ask of it: X clients run against it, window
    properties and geometry, the pointer and the keyboard."""

    def __init__(self, compositor=False, panel=False):
        self.compositor, self.panel = compositor, panel
        self.processes = []
        self.display = None

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="orvi-e2e-x-")
        try:
            self._start()
        except Exception as error:
            logs = "".join(f"\n--- {' '.join(p.args[:2])}:\n{p.log()}" for p in self.processes)
            self.__exit__(None, None, None)
            raise RuntimeError(f"the X session did not start: {error}{logs}") from error
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def spawn(self, name, args, **kw):
        """A helper X client, stopped with the session."""
        env = dict(os.environ, DISPLAY=self.display or "", NO_AT_BRIDGE="1")
        process = Process(args, env, os.path.join(self.dir, name + ".log"), **kw)
        self.processes.append(process)
        return process

    def helper_window(self, kind, rect):
        """Starts HELPER_WINDOW; (its process, its window) once it is mapped."""
        process = self.spawn(kind, ["/usr/bin/python3", "-c", HELPER_WINDOW, kind, *map(str, rect)])
        mapped = wait_until(lambda: re.search(r"mapped (\d+)", process.log()), STARTUP, f"the {kind} window")
        return process, int(mapped[1])

    def _start(self):
        # Xvfb picks a free display number itself and tells it through a pipe.
        # Without -noreset the server resets as xdpyinfo, its first client,
        # leaves, and a client connecting just then (openbox) is refused.
        read_end, write_end = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                            f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end, "rb") as numbers:
            ready = select.select([numbers], [], [], STARTUP)[0]
            number = numbers.readline().strip() if ready else b""
        if not number:
            raise RuntimeError("Xvfb gave no display number")
        self.display = ":" + number.decode()
        wait_until(lambda: self.x(["xdpyinfo"], check=False) is not None, STARTUP, "xdpyinfo")
        self.spawn("openbox", ["openbox", "--sm-disable"])
        wait_until(self._openbox_ready, STARTUP, "openbox")
        if self.compositor:
            self.spawn("xcompmgr", ["xcompmgr"])
        if self.panel:
            # The panel's strut shrinks the work area as a desktop panel does.
            _, panel = self.helper_window("panel", (0, 0, SCREEN[0], PANEL_HEIGHT))
            strut = f"0,0,{PANEL_HEIGHT},0,0,0,0,0,0,{SCREEN[0] - 1},0,0"
            self.x(["xprop", "-id", str(panel), "-f", "_NET_WM_STRUT_PARTIAL", "32c",
                    "-set", "_NET_WM_STRUT_PARTIAL", strut])
            wait_until(lambda: self.work_area() == WORK_AREA, 10, "the panel's strut to shape the work area")

    def _openbox_ready(self):
        # Openbox names itself before it loads its theme and fonts, which on
        # a fresh machine means building the font cache, and a window mapped
        # meanwhile is never managed. It publishes the work area once that
        # is done.
        check = self.prop_window(None, "_NET_SUPPORTING_WM_CHECK")
        return (check is not None and "Openbox" in (self.prop(check, "_NET_WM_NAME") or "")
                and self.work_area() is not None)

    def x(self, args, check=True):
        """Runs an X client against this display; None when it fails and check is off."""
        try:
            return run(args, env=dict(os.environ, DISPLAY=self.display))
        except (RuntimeError, subprocess.TimeoutExpired):
            if check:
                raise
            return None

    def props(self, wid, *names):
        """A window's properties (the root window's when wid is None), all of
        them or those named: name -> its value text, continuation lines
        joined with newlines. Empty when the window is gone."""
        target = ["-root"] if wid is None else ["-id", str(wid)]
        found, name = {}, None
        for line in (self.x(["xprop", *target, *names], check=False) or "").splitlines():
            match = PROPERTY_LINE.match(line)
            if match:
                name = match[1]
                found[name] = (match[3] if match[3] is not None else match[4]).strip()
            elif name and line.startswith(("\t", " ")):
                found[name] = (found[name] + "\n" + line.strip()).strip()
        return found

    def prop(self, wid, name):
        """One property's value text, or None when it is not set."""
        return self.props(wid, name).get(name)

    def prop_window(self, wid, name):
        """The one window a property names, or None."""
        return (window_ids(self.prop(wid, name)) or [None])[-1]

    def work_area(self):
        values = (self.prop(None, "_NET_WORKAREA") or "").replace(",", " ").split()
        return tuple(int(v) for v in values[:4]) or None

    def active_window(self):
        return self.prop_window(None, "_NET_ACTIVE_WINDOW")

    def managed_windows(self):
        """The window manager's list of the windows it manages (mapped ones)."""
        return window_ids(self.prop(None, "_NET_CLIENT_LIST"))

    def search(self, *args):
        """The windows `xdotool search` finds."""
        return [int(w) for w in (self.x(["xdotool", "search", *args], check=False) or "").split()]

    def windows_named(self, name, visible_only=False):
        return self.search(*(["--onlyvisible"] if visible_only else []), "--name", f"^{name}$")

    def window_info(self, wid):
        """xwininfo's fields for a window; empty when it is gone."""
        lines = (self.x(["xwininfo", "-id", str(wid)], check=False) or "").splitlines()
        return {key.strip(): value.strip() for key, _, value in (line.partition(":") for line in lines)}

    def geometry(self, wid):
        """(x, y, width, height) of a window, in root coordinates."""
        info = self.window_info(wid)
        try:
            return tuple(int(info[k]) for k in
                         ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
        except (KeyError, ValueError):
            return None

    def map_state(self, wid):
        """IsViewable, IsUnMapped or IsUnviewable; None when the window is gone."""
        return self.window_info(wid).get("Map State")

    def click(self, x, y):
        self.x(["xdotool", "mousemove", str(x), str(y), "click", "1"])

    def press(self, window, *keys):
        """Focuses the window (a new dialog does not always get the focus) and
        types keys into it."""
        self.x(["xdotool", "windowfocus", "--sync", str(window), "key", "--delay", "100", *keys])

    def screenshot(self):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                             env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, timeout=30, check=True).stdout
        return Screenshot(ppm)


class Screenshot:
    """The root window as RGB pixels, read from the binary PPM ImageMagick writes."""

    def __init__(self, ppm):
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            raise ValueError("not an 8-bit binary PPM")
        self.width, self.height = int(header[1]), int(header[2])
        self.data = ppm[header.end():]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def region(self, rect):
        """The RGB bytes of rect (x, y, width, height), row by row."""
        x, y, w, h = rect
        return b"".join(self.data[3 * (row * self.width + x):3 * (row * self.width + x + w)]
                        for row in range(y, y + h))

    def save(self, name):
        """Keeps the screenshot where a person can look at it; returns its path."""
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name)
        ppm = b"P6\n%d %d\n255\n" % (self.width, self.height) + self.data
        subprocess.run(["/usr/bin/convert", "ppm:-", path], input=ppm, check=True, timeout=30)
        return path


class PrivateBus:
    """A session bus without service activation (so no real portal or
    accessibility bus ever starts), and optionally a fake system bus."""

    def __init__(self, system=False):
        self.system = system
        self.pids = []
        self.session_address = self.system_address = None

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="orvi-e2e-bus-")
        self.conf = os.path.join(self.dir, "bus.conf")
        with open(self.conf, "w") as f:
            f.write(BUS_CONF)
        try:
            self.session_address = self._daemon()
            if self.system:
                self.system_address = self._daemon()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _daemon(self):
        address, pid = run(["dbus-daemon", f"--config-file={self.conf}", "--fork",
                            "--print-address=1", "--print-pid=1"]).split()
        self.pids.append(int(pid))
        return address

    def __exit__(self, *exc):
        for pid in self.pids:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def env(self):
        env = {"DBUS_SESSION_BUS_ADDRESS": self.session_address}
        if self.system_address:
            env["DBUS_SYSTEM_BUS_ADDRESS"] = self.system_address
        return env


# Dumps the accessible objects of one process as JSON, skipping what is inside
# the web page. Run with Debian's Python, where gi's Atspi is.
ATSPI_DUMP = r"""
import gi, json, sys
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

def node(accessible, depth):
    try:
        role = accessible.get_role_name()
        extents = accessible.get_extents(Atspi.CoordType.SCREEN)
        states = [s.value_nick for s in accessible.get_state_set().get_states()]
        result = {"role": role, "name": accessible.get_name(), "states": states,
                  "extents": [extents.x, extents.y, extents.width, extents.height], "children": []}
    except Exception as error:
        return {"role": "error", "name": str(error), "states": [], "extents": [0, 0, 0, 0], "children": []}
    if role != "document web" and depth < 25:
        for i in range(accessible.get_child_count()):
            child = accessible.get_child_at_index(i)
            if child is not None:
                result["children"].append(node(child, depth + 1))
    return result

desktop = Atspi.get_desktop(0)
apps = []
for i in range(desktop.get_child_count()):
    app = desktop.get_child_at_index(i)
    try:
        if app is not None and app.get_process_id() == int(sys.argv[1]):
            apps.append(node(app, 0))
    except Exception:
        pass
print(json.dumps(apps))
"""


class Accessibility:
    """The accessibility bus on a private session bus, as a desktop session
    starts it, so that GTK's bridge in programs started after it publishes
    their widgets."""

    def __init__(self, xsession, bus):
        self.xsession, self.bus = xsession, bus

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="orvi-e2e-a11y-")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ, DISPLAY=self.xsession.display, XDG_RUNTIME_DIR=runtime,
                   HOME=self.dir, **self.bus.env())
        self.launcher = Process(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately", "--a11y=1"],
                                env, os.path.join(self.dir, "launcher.log"))
        try:
            wait_for_bus_name(self.bus.session_address, "org.a11y.Bus")
            self.address = dbus_call(self.bus.session_address, "org.a11y.Bus", "/org/a11y/bus",
                                     "org.a11y.Bus.GetAddress")[0]
        except BaseException:
            self.__exit__(None, None, None)
            raise
        self.env = dict(env, AT_SPI_BUS_ADDRESS=self.address)
        return self

    def __exit__(self, *exc):
        # The registry daemon is the launcher's bus's child; the launcher
        # ends that bus as it goes.
        self.launcher.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def tree(self, pid):
        """The accessible objects of the process, or [] if it has none (yet).
        A node is {role, name, states, extents: [x, y, width, height], children}."""
        result = subprocess.run(["/usr/bin/python3", "-c", ATSPI_DUMP, str(pid)], env=self.env,
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise RuntimeError("reading the accessible objects failed: " + result.stderr[-2000:])
        return json.loads(result.stdout)

    def dialogs(self, pid):
        """The process's top-level alerts and dialogs that are showing."""
        return [top for app in self.tree(pid) for top in app["children"]
                if top["role"] in ("alert", "dialog") and "showing" in top["states"]]


def descendants(node):
    yield node
    for child in node["children"]:
        yield from descendants(child)


def find(tree, role=None, name=None, state=None):
    """Every accessible object in tree (a node or list of nodes) that
    matches, in the tree's order."""
    roots = tree if isinstance(tree, list) else [tree]
    return [n for root in roots for n in descendants(root)
            if (role is None or n["role"] == role) and (name is None or n["name"] == name)
            and (state is None or state in n["states"])]


def centre(node):
    x, y, w, h = node["extents"]
    return x + w // 2, y + h // 2


def alert_content(alert):
    """What an alert says: its texts in order, and its buttons from left to
    right with the default one marked."""
    labels = [n["name"] for n in find(alert, role="label") if n["name"]]
    buttons = sorted(find(alert, role="push button"), key=lambda b: b["extents"][0])
    return {"texts": labels,
            "buttons": [b["name"] for b in buttons],
            "default": [b["name"] for b in buttons if "is-default" in b["states"]]}


class Install:
    """The program as a user would have it: <root>/bin/orvi-desktop with its
    resource bundle beside it, and a home of its own. The root is a fresh
    folder, or a folder of the given name inside one.

    page=None leaves the bundle folder without index.html; as nothing is at
    <root>/share/orvi-desktop (the installed layout's place) either, the
    program then has no page at all. The system data folder holds only what
    GTK needs to draw (its icons need the MIME database); there are no
    applications in it, so nothing on this machine can be launched as a
    browser.
    """

    def __init__(self, page=None, folder=None):
        self.parent = tempfile.mkdtemp(prefix="orvi-e2e-")
        self.root = os.path.join(self.parent, folder) if folder else self.parent
        try:
            self._lay_out(page)
        except BaseException:
            self.remove()
            raise

    def _lay_out(self, page):
        self.binary = os.path.join(self.root, "bin", "orvi-desktop")
        resources = os.path.join(self.root, "bin", BUNDLE, "Resources")
        os.makedirs(resources)
        shutil.copy2(BINARY, self.binary)
        shutil.copy2(os.path.join(RESOURCES, "orvi-default.webp"), resources)
        if page is not None:
            # Text is written as UTF-8; bytes as they are.
            with open(os.path.join(resources, "index.html"), "wb") as f:
                f.write(page.encode() if isinstance(page, str) else page)
        home = os.path.join(self.root, "home")
        self.dirs = {
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "XDG_DATA_DIRS": os.path.join(self.root, "system-data"),
            "XDG_CONFIG_DIRS": os.path.join(self.root, "system-config"),
        }
        for path in self.dirs.values():
            os.makedirs(path, exist_ok=True)
        os.chmod(self.dirs["XDG_RUNTIME_DIR"], 0o700)
        for name in ("mime", "icons", "glib-2.0", "themes"):
            if os.path.isdir(os.path.join("/usr/share", name)):
                os.symlink(os.path.join("/usr/share", name), os.path.join(self.dirs["XDG_DATA_DIRS"], name))

    @property
    def defaults_path(self):
        return os.path.join(self.dirs["XDG_CONFIG_HOME"], APP_ID, "defaults.json")

    def read_defaults(self):
        with open(self.defaults_path, encoding="utf-8") as f:
            return json.load(f)

    def write_defaults(self, values):
        os.makedirs(os.path.dirname(self.defaults_path), exist_ok=True)
        with open(self.defaults_path, "w", encoding="utf-8") as f:
            json.dump({"format": 1, "values": values}, f)

    def remove(self):
        shutil.rmtree(self.parent, ignore_errors=True)


# The page PageLink.page() gives: magenta all over, with report(), hooks that
# report each pause and resume, post(body) to the program's message handler,
# and a loop running each command the test queues.
COMMAND_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8">
<style>html, body { margin: 0; height: 100%; background: #ff00ff; }</style>
@REPORT@
<script>
(function () {
  var pauses = 0, resumes = 0, asked = 0;
  window.orviPause = function () { report('pause', ++pauses); };
  window.orviResume = function () { report('resume', ++resumes); };
  window.post = function (body) { window.webkit.messageHandlers.orvi.postMessage(body); };
  function next() {
    var script = document.createElement('script');
    script.src = 'http://127.0.0.1:@PORT@/next?@GENERATION@.' + (++asked);
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

GIF = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b")


class PageLink:
    """A local HTTP server that test pages report to: script() gives a page
    report(kind, data), which sends GET /<kind>?<URI-encoded JSON>.

    A page cannot be scripted from outside, so the page that page() gives
    asks for its next command: it loads <script src=".../next"> again and
    again, and the server holds each request open until a command is queued
    (or a second has passed)."""

    def __init__(self):
        self.reports, self._commands = [], []
        self._changed = threading.Condition()
        self._last_id = self._generation = 0
        link = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                kind = url.path.lstrip("/")
                if kind == "next":
                    body, content_type = link._next_command(url.query.partition(".")[0]).encode(), "text/javascript"
                else:
                    link._record(kind, urllib.parse.unquote(url.query))
                    body, content_type = GIF, "image/gif"
                try:
                    self.send_response(200)
                    self.send_header("Content-Type", content_type)
                    self.send_header("Cache-Control", "no-store")
                    self.send_header("Access-Control-Allow-Origin", "*")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                except OSError:
                    pass  # the page went away (the program quit) while it waited

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()

    def script(self):
        """A <script> that gives the page report(kind, data)."""
        return ("<script>function report(kind, data) { new Image().src = "
                f"'http://127.0.0.1:{self.port}/' + kind + '?' + "
                "encodeURIComponent(JSON.stringify(data === undefined ? null : data)); }</script>")

    def page(self):
        """The command page's text. Each call makes a new page: commands go
        only to the newest, never to one left over from an earlier run."""
        with self._changed:
            self._generation += 1
            return (COMMAND_PAGE.replace("@REPORT@", self.script()).replace("@PORT@", str(self.port))
                    .replace("@GENERATION@", str(self._generation)))

    def _record(self, kind, text):
        try:
            data = json.loads(text) if text else None
        except ValueError:
            data = text
        with self._changed:
            self.reports.append((kind, data))
            self._changed.notify_all()

    def _next_command(self, generation):
        with self._changed:
            current = lambda: generation == str(self._generation)
            self._changed.wait_for(lambda: self._commands and current(), timeout=1.0)
            return self._commands.pop(0) if self._commands and current() else ""

    def run(self, js, timeout=30):
        """Has the page run js; waits until it has."""
        with self._changed:
            self._last_id += 1
            number = self._last_id
            self._commands.append(
                f"try {{ {js}; report('done', {number}); }} "
                f"catch (e) {{ report('failed', {{ id: {number}, error: String(e) }}); }}")
            self._changed.notify_all()
        self.wait_for("done", timeout, lambda n: n == number)

    def post(self, body):
        """The page posts body to the program's message handler."""
        self.run(f"post({json.dumps(body)})")

    def of(self, kind):
        with self._changed:
            return [data for k, data in self.reports if k == kind]

    def count(self, kind):
        return len(self.of(kind))

    def clear(self):
        with self._changed:
            self.reports.clear()
            self._commands.clear()

    def wait_for(self, kind, timeout=30, predicate=lambda data: True, count=1):
        """The count-th report of kind that satisfies predicate; fails at once
        when a page command failed."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                matching = [d for k, d in self.reports if k == kind and predicate(d)]
                if len(matching) >= count:
                    return matching[count - 1]
                failed = self.of("failed")
                if failed:
                    raise AssertionError(f"a page command failed: {failed}")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"no report '{kind}' (#{count}) within {timeout} s; "
                                       f"got {[k for k, _ in self.reports]}")
                self._changed.wait(left)


class App:
    """Runs of the installed binary, one after another, inside an X session
    and buses, and its windows."""

    def __init__(self, xsession, install, bus=None, env=None):
        self.x, self.install = xsession, install
        self.env = {
            "PATH": "/usr/bin:/bin",
            "LANG": "C.UTF-8",
            "DISPLAY": xsession.display,
            # Never the machine's real system bus unless a test gives one.
            "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(install.root, "no-system-bus"),
        }
        self.env.update(install.dirs)
        self.env.update(bus.env() if bus else {})
        self.env.update(env or {})
        self.process = self.main_window = None
        self.log_paths = []

    def start(self, argv=None):
        """Runs the install's binary, or argv in its place, in the program's environment."""
        fd, log = tempfile.mkstemp(prefix="orvi-desktop-", suffix=".log", dir=self.install.root)
        os.close(fd)
        self.log_paths.append(log)
        self.started = time.monotonic()
        self.process = Process(argv or [self.install.binary], self.env, log)
        return self

    def window(self, timeout=STARTUP):
        """The program's one viewable window."""
        def find():
            if not self.process.running():
                raise RuntimeError(f"orvi-desktop exited ({self.process.popen.returncode}) "
                                   f"before showing its window:\n{self.process.log()}")
            found = self.x.windows_named(TITLE, visible_only=True)
            return found[0] if len(found) == 1 else None
        self.main_window = wait_until(find, timeout, "the Orvi window")
        return self.main_window

    def alerts(self):
        """The program's visible top-level windows other than its main one
        that carry its title: its alerts (they take the main window's title)."""
        return [w for w in self.x.windows_named(TITLE, visible_only=True) if w != self.main_window]

    def wait_for_alert(self, timeout):
        found = wait_until(self.alerts, timeout, "an alert")
        if len(found) != 1:
            raise AssertionError(f"expected one alert, found windows {found}")
        return found[0]

    def no_alert_for(self, seconds):
        """True if no alert showed up for that long; returns early with False."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.alerts():
                return False
            time.sleep(0.2)
        return not self.alerts()

    def wait_gone(self, window, visible_only=False):
        """Waits until window no longer exists (or, if visible_only, is no longer shown)."""
        wait_until(lambda: window not in self.x.windows_named(TITLE, visible_only), 10, "the alert to go")

    def close(self):
        """Asks the window manager to close the window (WM_DELETE_WINDOW)."""
        self.x.x(["wmctrl", "-c", TITLE])

    def wait_exit(self, timeout):
        return self.process.wait(timeout)

    def stop(self):
        if self.process:
            self.process.stop()

    def log(self):
        return self.process.log() if self.process else ""


class E2ETestCase(unittest.TestCase):
    """Runs programs in the class's X session and buses and shows the logs of
    every program a failed test ran. A class sets `session` to start_session's
    arguments to have one for all its tests."""

    session = None
    xsession = bus = link = a11y = None

    @classmethod
    def setUpClass(cls):
        if cls.session is not None:
            cls.start_session(**cls.session)

    def setUp(self):
        if self.link:
            self.link.clear()

    @classmethod
    def start_session(cls, system_bus=False, link=False, a11y=False, **x_options):
        """The class's X session and session bus; as asked, a fake system bus,
        a PageLink (cls.link) and the accessibility bus (cls.a11y)."""
        cls.xsession = cls.enterClassContext(XSession(**x_options))
        cls.bus = cls.enterClassContext(PrivateBus(system=system_bus))
        if link:
            cls.link = cls.enterClassContext(PageLink())
        if a11y:
            cls.a11y = cls.enterClassContext(Accessibility(cls.xsession, cls.bus))

    def run(self, result=None):
        result = result or self.defaultTestResult()
        before = len(result.failures) + len(result.errors)
        self.logged = []
        super().run(result)
        if len(result.failures) + len(result.errors) > before:
            for name, text in self.logged:
                print(f"\n----- {name} -----\n{text}----- end of {name} -----", flush=True)
        return result

    def make_install(self, page=None, **kw):
        install = Install(page, **kw)
        self.addCleanup(install.remove)
        return install

    def make_app(self, install, env=None):
        app = App(self.xsession, install, self.bus, env)
        self.addCleanup(self._finish, app)
        return app

    def launch(self, install, env=None):
        """Starts the program; (the app, its window) once the window is there."""
        app = self.make_app(install, env).start()
        return app, app.window()

    def quit(self, app, timeout=10):
        app.close()
        self.assertEqual(app.wait_exit(timeout), 0, "closing the window should quit cleanly")

    def keep_log(self, name, process):
        """A helper process whose log is shown if the test fails."""
        self.addCleanup(lambda: self.logged.append((name, process.log())))

    def start_helper(self, name, args):
        """A helper process (a D-Bus mock, say) with the class's buses,
        stopped at the end of the test."""
        folder = tempfile.mkdtemp(prefix="orvi-e2e-helper-")
        self.addCleanup(shutil.rmtree, folder, True)
        process = Process(args, dict(os.environ, **self.bus.env()), os.path.join(folder, name + ".log"))
        self.addCleanup(process.stop)
        self.keep_log(name, process)
        return process

    def _finish(self, app):
        app.stop()
        for number, path in enumerate(app.log_paths, 1):
            with open(path, "rb") as f:
                self.logged.append((f"orvi-desktop run {number}", f.read().decode("utf-8", "replace")))
