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
RESOURCES = os.path.join(REPO, "resources", "OrviDesktop_OrviDesktop.bundle", "Resources")
BUNDLE = "OrviDesktop_OrviDesktop.bundle"
APP_ID = "ai.orvi.orvi-desktop"
TITLE = "Orvi AI Life"
SCREEN = (1280, 800)
PANEL_HEIGHT = 28

BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
"""

# A dock window along the top edge; the harness gives it its strut once it
# is mapped, so that the work area shrinks the way a desktop panel makes it.
PANEL_PROGRAM = """
import gi
gi.require_version('Gtk', '3.0')
gi.require_version('GdkX11', '3.0')
from gi.repository import Gtk, Gdk, GdkX11
w = Gtk.Window(title='e2e panel')
w.set_type_hint(Gdk.WindowTypeHint.DOCK)
w.set_decorated(False)
w.move(0, 0)
w.set_default_size(%d, %d)
def mapped(*_):
    print(w.get_window().get_xid(), flush=True)
w.connect('map-event', mapped)
w.show_all()
Gtk.main()
"""


def wait_until(predicate, timeout, what="condition", interval=0.1):
    """Polls predicate until it returns something truthy and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def eventually(probe, predicate, timeout, interval=0.1):
    """Polls probe until predicate(value) holds; returns the last value either
    way, so that the caller's assertion shows what was really there."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if predicate(value) or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def run(args, env=None, timeout=15, check=True):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise RuntimeError(f"{args[0]} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


class Process:
    """A child in its own process group, its output going to a log file."""

    def __init__(self, args, env, log_path, stdout=None, pass_fds=()):
        self.args = args
        self.log_path = log_path
        with open(log_path, "wb") as log:
            self.popen = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL,
                                          stdout=stdout if stdout is not None else log, stderr=log,
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
        self.popen.wait()
        if self.popen.stdout:
            self.popen.stdout.close()
        return self.popen.returncode

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


class XSession:
    """A fresh Xvfb, optionally with openbox, xcompmgr and a top panel."""

    def __init__(self, wm=True, compositor=False, panel=False):
        self.wm, self.compositor, self.panel = wm, compositor, panel
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

    def spawn(self, name, args, **kw):
        """A helper X client, stopped with the session."""
        env = dict(os.environ, DISPLAY=self.display or "", NO_AT_BRIDGE="1")
        process = Process(args, env, os.path.join(self.dir, name + ".log"), **kw)
        self.processes.append(process)
        return process

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
            ready = select.select([numbers], [], [], 15)[0]
            number = numbers.readline().strip() if ready else b""
        if not number:
            raise RuntimeError("Xvfb gave no display number")
        self.display = ":" + number.decode()
        wait_until(lambda: self.x(["xdpyinfo"], check=False) is not None, 15, "xdpyinfo")
        if self.wm:
            self.spawn("openbox", ["openbox", "--sm-disable"])
            wait_until(self._openbox_ready, 15, "openbox")
        if self.compositor:
            self.spawn("xcompmgr", ["xcompmgr"])
        if self.panel:
            self._start_panel()

    def _openbox_ready(self):
        check = self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False) or ""
        if "window id" not in check:
            return False
        name = self.x(["xprop", "-id", check.split()[-1], "_NET_WM_NAME"], check=False) or ""
        return "Openbox" in name

    def _start_panel(self):
        width = SCREEN[0]
        panel = self.spawn("panel", ["/usr/bin/python3", "-c", PANEL_PROGRAM % (width, PANEL_HEIGHT)],
                            stdout=subprocess.PIPE)
        if not select.select([panel.popen.stdout], [], [], 15)[0]:
            raise RuntimeError("the panel did not map: " + panel.log())
        xid = panel.popen.stdout.readline().strip()
        strut = f"0,0,{PANEL_HEIGHT},0,0,0,0,0,0,{width - 1},0,0"
        self.x(["xprop", "-id", xid, "-f", "_NET_WM_STRUT_PARTIAL", "32c",
                "-set", "_NET_WM_STRUT_PARTIAL", strut])
        if self.wm:
            wait_until(lambda: self.work_area() == (0, PANEL_HEIGHT, width, SCREEN[1] - PANEL_HEIGHT),
                       10, "the panel's strut to shape the work area")

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def x(self, args, check=True, timeout=15):
        """Runs an X client against this display; None when it fails and check is off."""
        env = dict(os.environ, DISPLAY=self.display)
        try:
            return run(args, env=env, timeout=timeout, check=True)
        except (RuntimeError, subprocess.TimeoutExpired):
            if check:
                raise
            return None

    def work_area(self):
        out = self.x(["xprop", "-root", "_NET_WORKAREA"], check=False) or ""
        values = out.split("=", 1)[1].replace(",", " ").split() if "=" in out else []
        return tuple(int(v) for v in values[:4]) or None

    def active_window(self):
        out = self.x(["xprop", "-root", "_NET_ACTIVE_WINDOW"], check=False) or ""
        return int(out.split()[-1], 16) if "window id" in out else None

    def windows_named(self, name, visible_only=False):
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible_only else []) + ["--name", f"^{name}$"]
        out = self.x(args, check=False) or ""
        return [int(w) for w in out.split()]

    def geometry(self, wid):
        """(x, y, width, height) of a window, in root coordinates."""
        out = self.x(["xwininfo", "-id", str(wid)], check=False) or ""
        fields = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        try:
            return tuple(int(fields[k]) for k in
                         ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
        except (KeyError, ValueError):
            return None

    def prop(self, wid, name):
        """The value part of `xprop -id wid name`, or None when it is not set."""
        out = self.x(["xprop", "-id", str(wid), name], check=False) or ""
        return out.split("=", 1)[1].strip() if "=" in out else None

    def screenshot(self):
        env = dict(os.environ, DISPLAY=self.display)
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=env,
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
        out = run(["dbus-daemon", f"--config-file={self.conf}", "--fork",
                   "--print-address=1", "--print-pid=1"])
        address, pid = out.split()
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


class Install:
    """The program as a user would have it: <tmp>/bin/orvi-desktop with its
    resource bundle beside it, and a home of its own.

    page=None leaves the bundle folder without index.html; as nothing is at
    <tmp>/share/orvi-desktop (the installed layout's place) either, the
    program then has no page at all. The system data folder holds only what
    GTK needs to draw (its icons need the MIME database); there are no
    applications in it, so nothing on this machine can be launched as a
    browser.
    """

    def __init__(self, page=None, face=True):
        self.root = tempfile.mkdtemp(prefix="orvi-e2e-")
        try:
            self._lay_out(page, face)
        except BaseException:
            self.remove()
            raise

    def _lay_out(self, page, face):
        self.binary = os.path.join(self.root, "bin", "orvi-desktop")
        self.resources = os.path.join(self.root, "bin", BUNDLE, "Resources")
        os.makedirs(self.resources)
        shutil.copy2(BINARY, self.binary)
        if face:
            shutil.copy2(os.path.join(RESOURCES, "orvi-default.webp"), self.resources)
        if page is not None:
            self.write_page(page)
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

    def write_page(self, page):
        """Text is written as UTF-8; bytes as they are."""
        with open(os.path.join(self.resources, "index.html"), "wb") as f:
            f.write(page.encode() if isinstance(page, str) else page)

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
        shutil.rmtree(self.root, ignore_errors=True)


class Recorder:
    """A local HTTP server that test pages report to. A report is
    GET /<kind>?<URI-encoded JSON>; it answers with a 1x1 GIF."""

    GIF = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c"
                        "00000000010001000002024401003b")

    def __init__(self):
        self.reports = []
        self._changed = threading.Condition()
        recorder = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                text = urllib.parse.unquote(url.query)
                try:
                    data = json.loads(text) if text else None
                except ValueError:
                    data = text
                with recorder._changed:
                    recorder.reports.append((url.path.lstrip("/"), data))
                    recorder._changed.notify_all()
                self.send_response(200)
                self.send_header("Content-Type", "image/gif")
                self.send_header("Access-Control-Allow-Origin", "*")
                self.send_header("Content-Length", str(len(Recorder.GIF)))
                self.end_headers()
                self.wfile.write(Recorder.GIF)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()

    def script(self):
        """A <script> that gives the page report(kind, data)."""
        return ("<script>function report(kind, data) { new Image().src = "
                f"'http://127.0.0.1:{self.port}/' + kind + '?' + "
                "encodeURIComponent(JSON.stringify(data === undefined ? null : data)); }</script>")

    def of(self, kind):
        with self._changed:
            return [data for k, data in self.reports if k == kind]

    def clear(self):
        with self._changed:
            self.reports.clear()

    def wait_for(self, kind, timeout=15, predicate=lambda data: True, count=1):
        """The count-th report of kind that satisfies predicate."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                matching = [d for k, d in self.reports if k == kind and predicate(d)]
                if len(matching) >= count:
                    return matching[count - 1]
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"no report '{kind}' (#{count}) within {timeout} s; "
                                       f"got {[k for k, _ in self.reports]}")
                self._changed.wait(left)


class App:
    """One run of the installed binary inside an X session and buses."""

    def __init__(self, xsession, install, bus=None, env=None):
        self.x, self.install, self.bus = xsession, install, bus
        self.env = {
            "PATH": "/usr/bin:/bin",
            "LANG": "C.UTF-8",
            "DISPLAY": xsession.display,
            # Never the machine's real system bus unless a test gives one.
            "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(install.root, "no-system-bus"),
        }
        self.env.update(install.dirs)
        if bus:
            self.env.update(bus.env())
        self.env.update(env or {})
        self.process = None
        self.log_paths = []

    def start(self):
        log = tempfile.mkstemp(prefix="orvi-desktop-", suffix=".log", dir=self.install.root)[1]
        self.log_paths.append(log)
        self.process = Process([self.install.binary], self.env, log)
        return self

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def window(self, timeout=20):
        """The program's one viewable window."""
        def find():
            if not self.process.running():
                raise RuntimeError(f"orvi-desktop exited ({self.process.popen.returncode}) "
                                   f"before showing its window:\n{self.process.log()}")
            found = self.x.windows_named(TITLE, visible_only=True)
            return found[0] if len(found) == 1 else None
        return wait_until(find, timeout, "the Orvi window")

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
    """Runs programs in the class's X session and buses (set xsession and bus
    in setUpClass) and shows the logs of every program a failed test ran."""

    xsession = None
    bus = None

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

    def keep_log(self, name, process):
        """A helper process whose log is shown if the test fails."""
        self.addCleanup(lambda: self.logged.append((name, process.log())))

    def start_helper(self, name, args, env=None):
        """A helper process (a D-Bus mock, say) with the class's buses,
        stopped at the end of the test."""
        folder = tempfile.mkdtemp(prefix="orvi-e2e-helper-")
        self.addCleanup(shutil.rmtree, folder, True)
        full_env = dict(os.environ, **(self.bus.env() if self.bus else {}), **(env or {}))
        process = Process(args, full_env, os.path.join(folder, name + ".log"))
        self.addCleanup(process.stop)
        self.keep_log(name, process)
        return process

    def _finish(self, app):
        app.stop()
        for number, path in enumerate(app.log_paths, 1):
            with open(path, "rb") as f:
                self.logged.append((f"orvi-desktop run {number}", f.read().decode("utf-8", "replace")))
