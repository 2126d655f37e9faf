"""What the update, menu and install tests need around the program: an
accessibility bus to read its dialogs and menus with, a fake default browser,
and finding, reading and answering its alerts."""

import json
import os
import shutil
import subprocess
import tempfile
import time

from gi.repository import GLib

from harness import APP_ID, TITLE, Process, dbus_call, wait_for_bus_name, wait_until

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
    starts it, so that GTK's bridge in the program publishes its widgets."""

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
        """The accessible objects of the process, or [] if it has none (yet)."""
        result = subprocess.run(["/usr/bin/python3", "-c", ATSPI_DUMP, str(pid)], env=self.env,
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise RuntimeError("reading the accessible objects failed: " + result.stderr[-2000:])
        return json.loads(result.stdout)


def descendants(node):
    yield node
    for child in node["children"]:
        yield from descendants(child)


def find(tree, role=None, name=None, state=None):
    """Every accessible object in tree (a node or list of nodes) that matches."""
    roots = tree if isinstance(tree, list) else [tree]
    return [n for root in roots for n in descendants(root)
            if (role is None or n["role"] == role) and (name is None or n["name"] == name)
            and (state is None or state in n["states"])]


def alert_content(alert):
    """What an alert says: its texts in order, and its buttons from left to
    right with the default one marked."""
    labels = [n["name"] for n in find(alert, role="label") if n["name"]]
    buttons = sorted(find(alert, role="push button"), key=lambda b: b["extents"][0])
    return {"texts": labels,
            "buttons": [b["name"] for b in buttons],
            "default": [b["name"] for b in buttons if "is-default" in b["states"]]}


class FakeBrowser:
    """The default handler for http, https and file addresses in an install's
    own XDG folders: it writes the arguments it was started with to a log."""

    def __init__(self, install):
        self.log = os.path.join(install.root, "browser.log")
        script = os.path.join(install.root, "record-url.py")
        with open(script, "w") as f:
            f.write("import json, sys\n"
                    f"with open({self.log!r}, 'a') as log:\n"
                    "    log.write(json.dumps(sys.argv[1:]) + '\\n')\n")
        applications = os.path.join(install.dirs["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        types = ["x-scheme-handler/https", "x-scheme-handler/http", "x-scheme-handler/file", "text/plain"]
        with open(os.path.join(applications, "fake-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Fake Browser\nNoDisplay=true\n"
                    f"Exec=/usr/bin/python3 {script} %u\nMimeType={';'.join(types)};\n")
        with open(os.path.join(install.dirs["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n" + "".join(f"{t}=fake-browser.desktop\n" for t in types))

    def opened(self):
        """The argument lists of every start so far."""
        try:
            with open(self.log) as f:
                return [json.loads(line) for line in f]
        except FileNotFoundError:
            return []


def dialogs(xsession, main_window):
    """The program's visible top-level windows other than its main one that
    carry its title: its alerts (they take the main window's title)."""
    return [w for w in xsession.windows_named(TITLE, visible_only=True) if w != main_window]


def transient_for(xsession, window):
    """The window that window is a dialog of, or None."""
    out = xsession.x(["xprop", "-id", str(window), "WM_TRANSIENT_FOR"], check=False) or ""
    return int(out.split()[-1], 16) if "window id" in out else None


def activate_action(bus, name):
    """Activates one of the program's application actions from outside, as a
    desktop shell's menu would."""
    dbus_call(bus.session_address, APP_ID, "/" + APP_ID.replace(".", "/").replace("-", "_"),
              "org.gtk.Actions.Activate", GLib.Variant("(sava{sv})", (name, [], {})))


def wait_for_alert(xsession, main_window, timeout):
    found = wait_until(lambda: dialogs(xsession, main_window), timeout, "an alert")
    if len(found) != 1:
        raise AssertionError(f"expected one alert, found windows {found}")
    return found[0]


def no_alert_for(xsession, main_window, seconds):
    """True if no alert showed up for that long; returns early with False."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if dialogs(xsession, main_window):
            return False
        time.sleep(0.2)
    return not dialogs(xsession, main_window)


def press(xsession, window, *keys):
    """Focuses the window (a new dialog does not always get the focus) and
    types keys into it."""
    xsession.x(["xdotool", "windowfocus", "--sync", str(window), "key", "--delay", "100", *keys])


def exec_argv(entry_path):
    """The command line a session starts for a desktop entry: the Exec value
    unescaped as a key file string, field codes expanded (none are given),
    then split the way a shell would."""
    keys = GLib.KeyFile()
    keys.load_from_file(entry_path, GLib.KeyFileFlags.NONE)
    command, expanded, i = keys.get_string("Desktop Entry", "Exec"), "", 0
    while i < len(command):
        if command[i] == "%" and i + 1 < len(command):
            expanded += "%" if command[i + 1] == "%" else ""
            i += 2
        else:
            expanded += command[i]
            i += 1
    return GLib.shell_parse_argv(expanded)[1]
