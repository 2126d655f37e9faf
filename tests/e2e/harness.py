"""The real orvi-desktop on a private X display (Xvfb, or Xorg's dummy driver where monitors change; openbox, a
28-pixel top panel, optionally xcompmgr), private session and system buses with the accessibility bus, a test page that
reports to the test and runs its commands, and what the tests read of X. Run with /usr/bin/python3."""

import contextlib, http.server, json, os, re, shutil, signal, subprocess, tempfile, time, threading, unittest
from urllib.parse import unquote, urlsplit
from gi.repository import Gio, GLib
from Xlib import X, Xatom, Xutil, display as xdisplay, error as xerror

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
BINARY = os.environ.get("ORVI_E2E_BINARY", os.path.join(REPO, "build", "dev", "orvi-desktop"))
RESOURCES = os.path.join(REPO, "resources", "OrviDesktop_OrviDesktop.bundle", "Resources")
BUNDLE, APP_ID, TITLE = "OrviDesktop_OrviDesktop.bundle", "ai.orvi.orvi-desktop", "Orvi AI Life"
WORK_AREA, BUBBLE_HOME, COLLAPSED = (0, 28, 1280, 772), (1144, 664), (0, 798, 2, 2)
STARTUP = 60  # only a failure waits this long; a fresh machine's first start is slow
# The showing accessible objects of one process, not looking inside the page.
ATSPI_DUMP = """import gi, json, sys
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi
def nodes(a):
    if a.get_role_name() != 'document web':
        for child in filter(None, map(a.get_child_at_index, range(a.get_child_count()))): yield from nodes(child)
    if a.get_state_set().contains(Atspi.StateType.SHOWING):
        e = a.get_extents(Atspi.CoordType.SCREEN)
        yield {'role': a.get_role_name(), 'name': a.get_name(), 'description': a.get_description(),
               'default': a.get_state_set().contains(Atspi.StateType.IS_DEFAULT), 'extents': [e.x, e.y, e.width, e.height]}
d = Atspi.get_desktop(0)
apps = [a for a in map(d.get_child_at_index, range(d.get_child_count())) if a and a.get_process_id() == int(sys.argv[1])]
print(json.dumps([n for a in apps for n in nodes(a)]))"""
# Once the harness's end of its stdin closes, however the harness ended, ends each process whose environment holds the
# desktop's mark $0 (dbus-daemon --fork is no child) and removes its folder $1. No one's child: ctest's time-out spares it.
REAPER = ('cat >/dev/null; for i in $(seq 40); do pids=$(grep -lsxzF "$0" /proc/[0-9]*/environ | cut -d/ -f3); '
          '[ "$pids" ] || break; kill -s $([ $i -le 30 ] && echo TERM || echo KILL) $pids; sleep 0.1; done; rm -rf "$1"')


def poll(probe, ok=bool, timeout=20):
    """Calls probe until ok(value) or the time is up; the last value either way."""
    deadline = time.monotonic() + timeout
    while not ok(value := probe()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def wait(probe, timeout=STARTUP, what="it"):
    if not (value := poll(probe, bool, timeout)):
        raise TimeoutError(f"no {what} within {timeout} s")
    return value


def run(*args, env=None):
    result = subprocess.run(list(map(str, args)), env=env, capture_output=True, text=True, timeout=60)
    if result.returncode:
        raise RuntimeError(f"{args} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


class Proc(subprocess.Popen):
    """A child in a process group of its own, its output in a log file."""

    def __init__(self, args, env, log, **kw):
        self.log_path = log
        with open(log, "wb") as out:
            super().__init__(args, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out, start_new_session=True,
                             **kw)

    def exit_status(self, timeout):
        with contextlib.suppress(subprocess.TimeoutExpired):
            return self.wait(timeout)

    def stop(self, sig=signal.SIGTERM):
        """Ends the group, also what the child left behind (WebKit's processes)."""
        for sig in (sig, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.pid, sig)
            self.exit_status(5)
        return self.wait()

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")


def dbus_call(address, name, path, method, args=None):
    bus = Gio.DBusConnection.new_for_address_sync(address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                                                  | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    interface, _, member = method.rpartition(".")
    reply = bus.call_sync(name, path, interface, member, args, None, Gio.DBusCallFlags.NO_AUTO_START, 5000, None)
    bus.close_sync(None)
    return reply and reply.unpack()


def wait_for_name(address, name):
    wait(lambda: dbus_call(address, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.NameHasOwner", GLib.Variant("(s)", (name,)))[0], 15, name)


class Desktop(contextlib.ExitStack):
    """A fresh X display with openbox and the panel, buses, and the page link. With xorg, a 1920x1080 monitor
    DUMMY0 whose outputs the test may change."""

    def __init__(self, compositor=False, xorg=False, wm=True):
        super().__init__()
        self.compositor, self.xorg, self.wm = compositor, xorg, wm

    def __enter__(self):
        super().__enter__()
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def spawn(self, name, args, env={}, **kw):
        process = Proc(args, dict(os.environ, **self.env, **env), os.path.join(self.dir, name + ".log"), **kw)
        self.callback(process.stop)
        return process

    def _begin(self, prefix):
        """The desktop's folder, and the reaper of everything it starts."""
        self.dir = tempfile.mkdtemp(prefix=prefix)
        self.env = dict(ORVI_E2E_DESKTOP=self.dir)  # the mark of everything started through spawn, x or env
        reaper = subprocess.Popen(["setsid", "--fork", "sh", "-c", REAPER, f"ORVI_E2E_DESKTOP={self.dir}", self.dir],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        reaper.wait()
        self.callback(reaper.stdin.close)
        self.callback(shutil.rmtree, self.dir, True)

    def _start(self):
        self._begin("orvi-e2e-")
        read_end, write_end = os.pipe()
        if self.xorg:
            os.makedirs(empty := os.path.join(self.dir, "xorg.conf.d"))
            config = os.path.join(HERE, "xorg-dummy.conf")
            self.spawn("xorg", ["Xorg", "-displayfd", str(write_end), "-config", config, "-configdir", empty, "-noreset",
                                "-nolisten", "tcp", "-logfile", os.path.join(self.dir, "xorg.log")], pass_fds=(write_end,))
        else:
            self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten",
                                "tcp", "-noreset", "-br"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.env["DISPLAY"] = ":" + numbers.readline().strip()
        if self.xorg:
            self.x("xrandr", "--output", "DUMMY0", "--mode", "1920x1080")
        self.dpy = xdisplay.Display(self.env["DISPLAY"])
        self.callback(self.dpy.close)
        self.root = self.dpy.screen().root
        if self.wm:
            self.spawn("openbox", ["openbox", "--sm-disable"])
            # Openbox names itself before it has loaded its theme (on a fresh
            # machine, built the font cache) and ignores windows mapped meanwhile;
            # it publishes the work area once it is ready.
            wait(lambda: "Openbox" in (self.prop(self.window_prop(None, "_NET_SUPPORTING_WM_CHECK"), "_NET_WM_NAME")
                                       or "") and self.prop(None, "_NET_WORKAREA"), what="openbox")
        if self.compositor:
            self.spawn("xcompmgr", ["xcompmgr"])
        for variable in ("DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"):
            self.env[variable], pid = self.x("dbus-daemon", f"--config-file={HERE}/session-bus.conf", "--fork",
                                             "--print-address=1", "--print-pid=1").split()
            self.callback(os.kill, int(pid), signal.SIGTERM)
        self.bus, self.system_bus = self.env["DBUS_SESSION_BUS_ADDRESS"], self.env["DBUS_SYSTEM_BUS_ADDRESS"]
        # A green panel along the top, whose strut shrinks the work area.
        width, atom = self.root.get_geometry().width, self.dpy.intern_atom
        self.panel = self.root.create_window(0, 0, width, 28, 0, 0, background_pixel=0x00C800)
        self.panel.change_property(atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, [atom("_NET_WM_WINDOW_TYPE_DOCK")])
        self.panel.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.PSize, x=0, y=0, width=width, height=28)
        self.set_panel(28)
        self.panel.map()
        if self.wm:
            wait(lambda: tuple(self.prop(None, "_NET_WORKAREA")[:4]) == (0, 28, width, self.root.get_geometry().height - 28),
                 10, "the panel's work area")
        os.makedirs(runtime := os.path.join(self.dir, "a11y"), mode=0o700)
        self.spawn("a11y", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately", "--a11y=1"],
                   env=dict(XDG_RUNTIME_DIR=runtime, HOME=runtime))
        wait_for_name(self.bus, "org.a11y.Bus")
        self.env["AT_SPI_BUS_ADDRESS"] = dbus_call(self.bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")[0]
        self.link = self.enter_context(PageLink())

    def x(self, *args):
        """Runs a program on this desktop, an X client on its display."""
        return run(*args, env=dict(os.environ, **self.env))

    def set_panel(self, height):
        """The panel's strut: the height it takes from the top of the screen, as wide as the screen first was."""
        atom, width = self.dpy.intern_atom, self.panel.get_geometry().width
        self.panel.change_property(atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32,
                                   [0, 0, height, 0, 0, 0, 0, 0, 0, width - 1, 0, 0])
        self.dpy.sync()

    def primary(self):
        """The primary monitor's (x, y, width, height): the one marked, or the only one."""
        monitors = re.findall(r"(\*?)\S+ (\d+)/\d+x(\d+)/\d+\+(\d+)\+(\d+)", self.x("xrandr", "--listmonitors"))
        _, w, h, x, y = max(monitors)
        return int(x), int(y), int(w), int(h)

    def visible(self):
        """The primary monitor's work area, as GDK has it: the monitor within _NET_WORKAREA."""
        (x, y, w, h), (ax, ay, aw, ah) = self.primary(), self.prop(None, "_NET_WORKAREA")[:4]
        left, top = max(x, ax), max(y, ay)
        return left, top, min(x + w, ax + aw) - left, min(y + h, ay + ah) - top

    def _window(self, wid):
        return self.root if wid is None else self.dpy.create_resource_object("window", wid)

    def prop(self, wid, name):
        """A property's value (text, or a list of numbers); None when unset or the window is gone."""
        with contextlib.suppress(xerror.XError):
            value = self._window(wid).get_full_property(self.dpy.intern_atom(name), X.AnyPropertyType)
            return value and (value.value.decode() if isinstance(value.value, bytes) else list(value.value))

    def window_prop(self, wid, name):
        return (self.prop(wid, name) or [None])[0]

    def atoms(self, wid, name):
        return {self.dpy.get_atom_name(atom) for atom in self.prop(wid, name) or []}

    def geometry(self, wid):
        """(x, y, width, height) in root coordinates; None when the window is gone."""
        with contextlib.suppress(xerror.XError):
            size, at = self._window(wid).get_geometry(), self.root.translate_coords(self._window(wid), 0, 0)
            return at.x, at.y, size.width, size.height

    def viewable(self, wid):
        with contextlib.suppress(xerror.XError):
            return self._window(wid).get_attributes().map_state == X.IsViewable

    def managed(self, title=TITLE, pid=None):
        """The windows the window manager manages (without one, the top-level ones), by title and process."""
        clients = self.prop(None, "_NET_CLIENT_LIST") if self.wm else [w.id for w in self.root.query_tree().children]
        return [w for w in clients or [] if title in (None, self.prop(w, "_NET_WM_NAME") or self.prop(w, "WM_NAME"))
                and pid in (None, self.window_prop(w, "_NET_WM_PID"))]

    def active(self):
        return self.window_prop(None, "_NET_ACTIVE_WINDOW")

    def pixels(self, rect):
        """The RGB pixels of (x, y, width, height), row by row."""
        data = self.root.get_image(*rect, X.ZPixmap, 0xFFFFFFFF).data
        return [(data[i + 2], data[i + 1], data[i]) for i in range(0, len(data), 4)]

    def pixel(self, x, y):
        return self.pixels((x, y, 1, 1))[0]

    def xdo(self, *args):
        return self.x("xdotool", *args)

    def click(self, x, y):
        self.xdo("mousemove", x, y, "click", 1)

    def keys(self, wid, *keys):
        """Focuses the window (a new dialog does not always get it) and types."""
        self.xdo("windowfocus", "--sync", wid, "key", "--delay", 100, *keys)

    def choose(self, item):
        """Chooses the program's menu item (0: Show Orvi, 1: Check for Updates...) as a desktop shell would."""
        dbus_call(self.bus, APP_ID, "/ai/orvi/orvi_desktop", "org.gtk.Actions.Activate",
                  GLib.Variant("(sava{sv})", (f"orvi-menu-{item}", [], {})))

    def accessible(self, pid, **match):
        """The process's showing accessible objects whose fields match."""
        return [n for n in json.loads(run("/usr/bin/python3", "-c", ATSPI_DUMP, pid, env=dict(os.environ, **self.env)))
                if all(n[k] == v for k, v in match.items())]


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


def centred(rect, area):
    """Whether rect lies in the middle of area, give or take a window manager's title bar."""
    (x, y), (cx, cy) = centre(rect), centre(area)
    return abs(x - cx) <= 2 and abs(y - cy) <= 20


class PageLink(http.server.ThreadingHTTPServer):
    """Pages report with GET /<kind>?<JSON>; the page that reported ready last
    takes its next command from /next, held open until there is one (or a
    second has passed)."""

    def __init__(self):
        self.reports, self.commands, self.current, self.number = [], [], None, 0
        self.changed = threading.Condition()
        link = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                url = urlsplit(self.path)
                body = link.answer(url.path[1:], unquote(url.query))
                with contextlib.suppress(OSError):  # the page went away meanwhile
                    self.send_response(200)
                    self.send_header("Content-Length", len(body))
                    self.send_header("Access-Control-Allow-Origin", "*")
                    if url.path == "/attachment":  # a file to be saved
                        self.send_header("Content-Disposition", "attachment; filename=x.txt")
                    self.end_headers()
                    self.wfile.write(body)

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        self.page_url = f"http://127.0.0.1:{self.server_address[1]}/"
        with open(os.path.join(HERE, "page.html")) as page:
            self.page = page.read().replace("@PORT@", str(self.server_address[1]))

    def __enter__(self):
        threading.Thread(target=self.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.shutdown()
        self.server_close()

    def answer(self, kind, query):
        with self.changed:
            if kind == "next":
                mine = lambda: self.commands and query.startswith(self.current + "&")
                return (self.commands.pop(0) if self.changed.wait_for(mine, timeout=1.0) else "").encode()
            with contextlib.suppress(ValueError):
                query = json.loads(query)
            self.reports.append((kind, query))
            self.current = query["page"] if kind == "ready" else self.current
            self.changed.notify_all()
            return b""

    def send(self, js):
        """Queues js for the page; returns its number, which the page reports as done once it has run it."""
        with self.changed:
            self.number += 1
            self.commands.append(f"try {{ {js}; report('done', {self.number}); }} "
                                 f"catch (e) {{ report('failed', String(e)); }}")
            self.changed.notify_all()
            return self.number

    def run(self, js, timeout=30):
        """Has the page run js; returns once it has."""
        number = self.send(js)
        self.wait_for("done", timeout, lambda n: n == number)

    def ask(self, js, kind, timeout=30):
        """Has the page run js; the next report of kind after that."""
        count = len(self.of(kind)) + 1
        self.send(js)
        return self.wait_for(kind, timeout, count=count)

    def post(self, body):
        self.run(f"post({json.dumps(body)})")

    def of(self, kind):
        with self.changed:
            return [data for k, data in self.reports if k == kind]

    def clear(self):
        with self.changed:
            self.reports.clear()
            self.commands.clear()

    def wait_for(self, kind, timeout=30, ok=lambda data: True, count=1):
        """The count-th report of kind that satisfies ok; fails at once when the page failed."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while len(found := [d for d in self.of(kind) if ok(d)]) < count:
                if self.of("failed") or not self.changed.wait(deadline - time.monotonic()):
                    raise AssertionError(f"no '{kind}' #{count} in {timeout} s; the page said {[k for k, _ in self.reports]}")
            return found[count - 1]


class Install:
    """<root>/bin/orvi-desktop with its bundle beside it (index.html only if
    page is given), a home and XDG folders of its own, and system data with
    what GTK draws with and no applications; in a desktop's folder (within), it goes with the desktop."""

    def __init__(self, page, folder="", within=None):
        self.page, self.parent = page, tempfile.mkdtemp(prefix="orvi-e2e-install-", dir=within)
        self.root = os.path.join(self.parent, folder)
        self.binary, self.resources = f"{self.root}/bin/orvi-desktop", f"{self.root}/bin/{BUNDLE}/Resources"
        os.makedirs(self.resources)
        shutil.copy2(BINARY, self.binary)
        shutil.copy2(os.path.join(RESOURCES, "orvi-default.webp"), self.resources)
        if page is not None:
            with open(os.path.join(self.resources, "index.html"), "wb") as f:
                f.write(page.encode() if isinstance(page, str) else page)
        home = self.root + "/home"
        self.dirs = dict(HOME=home, XDG_CONFIG_HOME=f"{home}/.config", XDG_DATA_HOME=f"{home}/.local/share",
                         XDG_CACHE_HOME=f"{home}/.cache", XDG_RUNTIME_DIR=f"{self.root}/runtime",
                         XDG_DATA_DIRS=f"{self.root}/system-data", XDG_CONFIG_DIRS=f"{self.root}/system-config")
        for path in self.dirs.values():
            os.makedirs(path, mode=0o700)
        for name in ("mime", "icons", "glib-2.0", "themes"):
            os.symlink(f"/usr/share/{name}", f"{self.dirs['XDG_DATA_DIRS']}/{name}")
        self.defaults = f"{self.dirs['XDG_CONFIG_HOME']}/{APP_ID}/defaults.json"

    def read_defaults(self):
        with open(self.defaults) as f:
            return json.load(f)["values"]

    def write_defaults(self, values):
        os.makedirs(os.path.dirname(self.defaults), exist_ok=True)
        with open(self.defaults, "w") as f:
            json.dump({"format": 1, "values": values}, f)


class App:
    """Runs of one install's program, one after another, and its windows."""

    def __init__(self, desktop, install, env):
        self.desktop, self.install, self.runs, self.process = desktop, install, [], None
        self.env = dict(PATH="/usr/bin:/bin", LANG="C.UTF-8", **install.dirs, **desktop.env)
        self.env.update(env or {})

    def start(self, argv=None):
        log = tempfile.mktemp(".log", "orvi-desktop-", self.desktop.dir)  # kept until the desktop goes
        self.runs.append(Proc(argv or [self.install.binary], self.env, log))
        self.process, self.started, self.window, self.bubble = self.runs[-1], time.monotonic(), None, None
        return self

    def wait_window(self):
        def shown():
            if self.process.poll() is not None:
                raise RuntimeError(f"orvi-desktop exited ({self.process.returncode}):\n{self.process.log()}")
            return next(filter(self.desktop.viewable, self.desktop.managed(pid=self.process.pid)), None)
        self.window = wait(shown, what="Orvi window")
        return self

    def alerts(self):
        """The program's other windows with its title: its alerts and prompts."""
        return [w for w in self.desktop.managed(pid=self.process.pid) if w != self.window]

    def state(self):
        """What a person sees of the window and the bubble."""
        d, w = self.desktop, self.window
        self.bubble = self.bubble or next((b for b in d.managed(title=None, pid=self.process.pid) if
                                           "_NET_WM_WINDOW_TYPE_UTILITY" in d.atoms(b, "_NET_WM_WINDOW_TYPE")), None)
        opacity, net_state = d.window_prop(w, "_NET_WM_WINDOW_OPACITY"), d.atoms(w, "_NET_WM_STATE")
        return {"window": d.geometry(w), "shown": d.viewable(w) and "_NET_WM_STATE_HIDDEN" not in net_state,
                "above": "_NET_WM_STATE_ABOVE" in net_state, "opacity": round((opacity or 0xFFFFFFFF) / 0xFFFFFFFF, 2),
                "bubble": d.geometry(self.bubble) if self.bubble and d.viewable(self.bubble) else None}

    def close(self):
        """Asks the window manager to close the window, as its close button does."""
        self.desktop.x("wmctrl", "-i", "-c", hex(self.window))


def collapsed(bubble_at=BUBBLE_HOME, area=WORK_AREA):
    """The 2x2 window in the work area's bottom-left corner; 0.01 is what it asks for, X keeps 3/255."""
    x, y, _, h = area
    return {"window": (x, y + h - 2, 2, 2), "shown": True, "above": False, "opacity": 0.01,
            "bubble": bubble_at + (112, 112)}


def bubble_home(area):
    x, y, w, h = area
    return x + w - 136, y + h - 136


def expanded(frame=WORK_AREA):
    return {"window": frame, "shown": True, "above": True, "opacity": 1.0, "bubble": None}


class E2ETest(unittest.TestCase):
    """The tests of a class share one Desktop; a failed test prints the log of every program it ran."""

    compositor = xorg = verbose = False  # verbose: the program logs what it hears (window moves)
    wm = True

    @classmethod
    def setUpClass(cls):
        cls.desktop = cls.x = cls.enterClassContext(Desktop(cls.compositor, cls.xorg, cls.wm))
        cls.link = cls.desktop.link

    def setUp(self):
        self.link.clear()
        self.apps = []

    def run(self, result=None):
        result = result or self.defaultTestResult()
        failures = len(result.failures + result.errors)
        super().run(result)
        for app in self.apps if len(result.failures + result.errors) > failures else []:
            for run in app.runs:
                print(f"\n--- {run.log_path} ---\n{run.log()}", flush=True)
        return result

    def install(self, page=True, **kw):
        """An install with the test page (page=True), the given page, or none (None)."""
        install = Install(self.link.page if page is True else page, within=self.desktop.dir, **kw)
        self.addCleanup(shutil.rmtree, install.parent, True)
        return install

    def app(self, install=None, env=None):
        env = dict(G_MESSAGES_DEBUG="orvi-desktop", **env or {}) if self.verbose else env
        self.apps.append(app := App(self.desktop, install or self.install(), env))
        self.addCleanup(lambda: [run.stop() for run in app.runs])
        return app

    def launch(self, install=None, env=None):
        """Starts the program; returns once its window is shown and the test page, if it has it, is ready."""
        app, readies = self.app(install, env), len(self.link.of("ready"))
        app.start().wait_window()
        if app.install.page == self.link.page:
            self.link.wait_for("ready", count=readies + 1)
            self.link.run("0")  # the page takes commands
        return app

    def move(self, app, frame):
        """Moves the window as a user would; returns once the program has heard of it (verbose only)."""
        if self.desktop.geometry(app.window) == frame:
            return
        (x, y, w, h), (px, py, _, ph) = frame, self.desktop.primary()
        heard = lambda: app.process.log().count(f"moved to {x - px},{py + ph - y - h} {w}x{h}")
        before = heard()
        self.desktop.x("wmctrl", "-i", "-r", hex(app.window), "-e", f"0,{x},{y},{w},{h}")
        wait(lambda: heard() > before, 10, f"the window at {frame}")

    def press(self, app, **match):
        """Clicks the program's showing accessible object that matches, with the pointer."""
        node = wait(lambda: self.desktop.accessible(app.process.pid, **match), 10, str(match))[0]
        self.desktop.xdo("mousemove", 1, 1)  # a move to where the pointer is never completes
        self.desktop.xdo("mousemove", "--sync", *centre(node["extents"]), "click", 1)

    def settle(self, app, want, timeout=20):
        self.assertEqual(poll(app.state, lambda s: s == want, timeout), want)

    def quit(self, app, timeout=10):
        app.close()
        self.assertEqual(app.process.exit_status(timeout), 0, "closing the window quits at once, with status 0")


class FakeBrowser:
    """The install's default application for web addresses, and for whatever
    else a wrongly let-through address could go to: it writes down each start's arguments."""

    TYPES = ["x-scheme-handler/" + s for s in ("https", "http", "file", "javascript", "mailto", "ftp")] + [
        "text/plain", "text/html", "application/octet-stream", "inode/directory"]

    def __init__(self, install):
        self.log, script = f"{install.root}/opened.jsonl", f"{install.root}/record-url"
        with open(script, "w") as f:
            f.write(f"#!/usr/bin/python3\nimport json, sys\nopen({self.log!r}, 'a').write(json.dumps(sys.argv[1:]) + '\\n')")
        os.chmod(script, 0o755)
        os.makedirs(apps := install.dirs["XDG_DATA_HOME"] + "/applications")
        with open(apps + "/fake-browser.desktop", "w") as f:
            f.write(f"[Desktop Entry]\nType=Application\nName=Fake\nExec={script} %u\nMimeType={';'.join(self.TYPES)};\n")
        with open(install.dirs["XDG_CONFIG_HOME"] + "/mimeapps.list", "w") as f:
            f.write("[Default Applications]\n" + "".join(f"{t}=fake-browser.desktop\n" for t in self.TYPES))

    def opened(self):
        with contextlib.suppress(FileNotFoundError), open(self.log) as f:
            return [json.loads(line) for line in f]
        return []


def exec_argv(entry):
    """The command a session runs for a desktop entry: Exec unescaped, field
    codes expanded (%% to %), split as a shell does."""
    keys = GLib.KeyFile()
    keys.load_from_file(entry, GLib.KeyFileFlags.NONE)
    return GLib.shell_parse_argv(re.sub("%(.)", lambda m: "%" * (m[1] == "%"), keys.get_string("Desktop Entry", "Exec")))[1]
