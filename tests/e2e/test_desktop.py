"""What the program does on a desktop: keeping the machine awake (against mocks of logind, the screen saver service
and the session manager), its menu and shortcuts, starting at login, and installing."""

import contextlib, os, re, shutil, signal, socket, subprocess, tempfile, threading, time, unittest
from gi.repository import GLib
from harness import (APP_ID, BINARY, BUNDLE, E2ETest, dbus_call, exec_argv, poll, run, wait,
                     wait_for_name)
from update_server import UpdateServer, manifest

REASON = "Keep the Orvi public assistant ready for voice requests"
SCREEN_SAVER = "org.freedesktop.ScreenSaver"
SESSION_MANAGER = ("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager")
BUILD_DIR = os.path.dirname(BINARY)
# In the station's language (English without a catalogue for it, as Swedish): the title strip's buttons, the menu, the
# update alert's message and buttons (the default last), the bubble's title; and what the page is told.
ENGLISH = (["Close", "Minimize", "Menu"], ["Show Orvi", "Check for Updates...", "Quit Orvi Desktop"],
           "Orvi Desktop 1.4.2 is ready", ["Later", "Download Update"], "For Help\nClick Orvi")
LANGUAGES = [({"LANG": "C.UTF-8"}, ["en-US"], ENGLISH),
             ({"LANG": "de_DE.UTF-8"}, ["de-DE"], (
                 ["Schließen", "Minimieren", "Menü"], ["Orvi anzeigen", "Nach Updates suchen...", "Orvi Desktop beenden"],
                 "Orvi Desktop 1.4.2 ist verfügbar", ["Später", "Update laden"], "Für Hilfe\nklicken")),
             ({"LANG": "de_DE.UTF-8", "LANGUAGE": "sv"}, ["sv"], ENGLISH)]


class KeepingAwake(E2ETest):
    def mock(self, name, *args):
        process = self.desktop.spawn(name, ["/usr/bin/python3", "-m", "dbusmock", *args])
        self.addCleanup(process.stop)
        return process

    def test_inhibits_while_its_services_come_and_go_and_lets_go_however_it_ends(self):
        """logind and the screen saver service appear after launch (at login they race) and restart; GTK asks the
        session manager, which is there first."""
        d, template = self.desktop, os.path.join(os.path.dirname(__file__), "screensaver_template.py")
        name, path, interface = SESSION_MANAGER
        manager = self.mock(name, name, path, interface)
        wait_for_name(d.bus, name)
        for method in [("Inhibit", "susu", "u", "ret = 42"), ("Uninhibit", "u", "", ""),
                       ("IsInhibited", "u", "b", "ret = False")]:
            dbus_call(d.bus, name, path, "org.freedesktop.DBus.Mock.AddMethod",
                      GLib.Variant("(sssss)", (interface,) + method))
        calls = lambda mock, method: re.findall(rf"^\S+ {method} (.*)$", mock.log(), re.M)
        ours = lambda: [i for i in dbus_call(d.system_bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                             "org.freedesktop.login1.Manager.ListInhibitors")[0] if i[1] == APP_ID]
        install = self.install(None)
        for number, (way, stop) in enumerate([("close", lambda app: app.close()),
                                              ("SIGTERM", lambda app: app.process.send_signal(signal.SIGTERM)),
                                              ("SIGHUP", lambda app: app.process.send_signal(signal.SIGHUP))], 1):
            with self.subTest(way):
                app = self.launch(install)
                for start in range(2 if number == 1 else 1):  # the first time they also restart
                    logind = self.mock("logind", "--system", "--template", "logind")
                    saver = self.mock("saver", "--template", template)
                    wait_for_name(d.system_bus, "org.freedesktop.login1")
                    wait_for_name(d.bus, SCREEN_SAVER)
                    self.assertEqual([tuple(i[:4]) for i in poll(ours, bool, 5)],
                                     [("idle:sleep", APP_ID, REASON, "block")], "logind's inhibitor")
                    self.assertEqual(poll(lambda: calls(saver, "Inhibit"), bool, 5), [f'"{APP_ID}" "{REASON}"'])
                    if not start and number == 1:
                        logind.stop(), saver.stop()
                self.assertRegex(poll(lambda: calls(manager, "Inhibit"), lambda c: len(c) == number, 10)[-1],
                                 rf'^"{APP_ID}" \d+ "{REASON}" 12$')  # idle and suspend
                stop(app)
                self.assertEqual(app.process.exit_status(10), 0)
                self.assertEqual(poll(lambda: calls(saver, "UnInhibit"), bool, 5), ["7"])
                self.assertEqual(poll(lambda: calls(manager, "Uninhibit"), lambda c: len(c) == number, 5), ["42"] * number)
                self.assertEqual(poll(ours, lambda i: not i, 5), [])
                logind.stop(), saver.stop()

    def test_the_x_screen_saver_is_suspended_while_running(self):
        d = self.desktop
        d.x("xset", "s", "1", "0")  # on after one idle second
        saver_on = lambda: d.root.screensaver_query_info().state == 1

        def after_idle():
            d.xdo("mousemove", 5, 700 + int(time.monotonic()) % 50)  # input wakes the saver
            wait(lambda: not saver_on(), 5, "the screen saver to go off")
            time.sleep(2.5)
            return saver_on()

        self.assertTrue(after_idle(), "without the program the saver comes on")
        # Without a system bus at all the window comes at once, and the saver still goes.
        app = self.app(self.install(None), env={"DBUS_SYSTEM_BUS_ADDRESS": "unix:path=/nonexistent"}).start()
        start = time.monotonic()
        app.wait_window()
        self.assertLess(time.monotonic() - start, 10)
        self.assertFalse(after_idle())
        self.quit(app)
        self.assertTrue(after_idle(), "after quitting the saver is back")


class Service(E2ETest):
    def test_a_service_manager_hears_ready_alive_and_stopping(self):
        """As systemd would start it, with a notification socket and a 2 s watchdog."""
        path, heard = os.path.join(self.desktop.dir, "notify"), []
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as sock:
            sock.bind(path)
            sock.settimeout(0.2)

            def listen():
                while sock.fileno() >= 0:
                    with contextlib.suppress(OSError):
                        heard.append((time.monotonic(), sock.recv(4096).decode()))
            threading.Thread(target=listen, daemon=True).start()
            install = self.install()
            app = self.app(install, {"NOTIFY_SOCKET": path, "WATCHDOG_USEC": "2000000"}).start().wait_window()
            self.link.wait_for("ready")
            said = lambda what: [t for t, message in list(heard) if message == what]
            wait(lambda: len(said("WATCHDOG=1")) >= 3, 10, "the watchdog fed")
            self.assertEqual(len(said("READY=1")), 1)
            # Stopped, it feeds it no more: nothing else (a child process) feeds it on its behalf.
            app.process.send_signal(signal.SIGSTOP)
            stopped = len(said("WATCHDOG=1"))
            time.sleep(3)
            self.assertEqual(len(said("WATCHDOG=1")), stopped)
            app.process.send_signal(signal.SIGCONT)
            # A page stuck in a loop is being recovered: the feeding goes on, a second apart.
            self.link.send("setTimeout(function () { for (;;) {} })")
            start = time.monotonic()
            self.link.wait_for("ready", timeout=60, count=2)
            fed = [t for t in said("WATCHDOG=1") if t > start]
            self.assertLess(max(b - a for a, b in zip([start] + fed, fed + [time.monotonic()])), 1.6)
            self.quit(app)
            self.assertEqual(poll(lambda: said("STOPPING=1"), bool, 5)[0] > start, True)
        self.assertFalse(os.path.exists(f"{install.dirs['XDG_CONFIG_HOME']}/autostart"), "no start-at-login entry")


class MenuAndLogin(E2ETest):
    def alert_says(self, app, strip):
        alert = wait(app.alerts, 15, "an alert")[0]
        nodes = poll(lambda: self.desktop.accessible(app.process.pid), lambda n: any(x["role"] == "alert" for x in n))
        buttons = sorted([n for n in nodes if n["role"] == "push button" and n["name"] not in strip],
                         key=lambda b: b["extents"][0])
        return alert, ([n["name"] for n in nodes if n["role"] == "label" and n["name"]],
                       [(b["name"], b["default"]) for b in buttons])

    def test_the_menu_the_alert_and_the_bubble_speak_the_stations_language_and_ctrl_q_quits(self):
        server, d = self.enterContext(UpdateServer()), self.desktop
        server.serve(manifest("1.4.2"))
        for env, languages, (strip, items, ready, buttons, bubble) in LANGUAGES:
            with self.subTest(**env):
                [run.stop() for app in self.apps for run in app.runs]  # a failed language's program is gone
                server.clear()
                install = self.install()
                install.write_defaults({"OrviDesktopUpdateNotice.1.4.2": {"boolean": True}})  # the launch's check is quiet
                app = self.launch(install, dict(server.env(), **env))
                self.assertEqual(self.link.of("ready")[-1]["languages"], languages)
                server.wait_for_request(), server.wait_until_done()
                self.link.post({"type": "minimize"})
                labels = lambda: [n["name"] for n in d.accessible(app.process.pid, role="label")]
                self.assertEqual(poll(labels, bool, 10), [bubble])
                self.link.post({"type": "wake"})
                self.press(app, role="toggle button", name=strip[2])
                wait(lambda: d.accessible(app.process.pid, name=items[2]), 10, "the menu")
                names = [n["name"] for n in d.accessible(app.process.pid, role="push button")]
                self.assertEqual(([n for n in names if n not in strip], set(strip[:2]) <= set(names)), (items, True))
                self.press(app, role="push button", name=items[1])
                alert, says = self.alert_says(app, strip)
                self.assertEqual(says, ([ready, "Clearer voice."], [(buttons[0], False), (buttons[1], True)]))
                d.keys(alert, "Escape")
                wait(lambda: not app.alerts(), 10, "the alert to go")
                d.keys(app.window, "ctrl+q")
                self.assertEqual(app.process.exit_status(5), 0, "Ctrl+Q quits at once")

    def test_the_entry_written_at_launch_starts_the_program(self):
        install = self.install(None, folder='Orvi Station "$5" 100%')
        entry = f"{install.dirs['XDG_CONFIG_HOME']}/autostart/{APP_ID}.desktop"
        os.makedirs(os.path.dirname(entry))
        with open(entry, "w") as f:  # one left by a copy that has moved since
            f.write("[Desktop Entry]\nType=Application\nName=Orvi Desktop\nExec=/opt/old/orvi-desktop\n")
        app = self.launch(install)
        self.assertEqual(poll(lambda: exec_argv(entry), lambda argv: argv == [install.binary], 10), [install.binary])
        self.assertEqual(subprocess.run(["desktop-file-validate", entry], capture_output=True).returncode, 0)
        self.quit(app)
        app.start(exec_argv(entry)).wait_window()
        self.quit(app)


class Installing(E2ETest):
    HIDE_BUILD_DIR = 'mount -t tmpfs tmpfs "$1" && shift && exec "$@"'

    def test_the_installed_files_and_program(self):
        prefix = tempfile.mkdtemp(prefix="orvi-e2e-prefix-")
        self.addCleanup(shutil.rmtree, prefix)
        prefix += "/Orvi Apps"
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, capture_output=True)
        entry, metainfo = f"{prefix}/share/applications/{APP_ID}.desktop", f"{prefix}/share/metainfo/{APP_ID}.metainfo.xml"
        unit = f"{prefix}/lib/systemd/user/orvi-desktop.service"
        for command in (["desktop-file-validate", entry], ["appstreamcli", "validate", "--no-net", metainfo],
                        ["systemd-analyze", "verify", "--man=no", unit]):
            result = subprocess.run(command, capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(exec_argv(entry), [f"{prefix}/bin/orvi-desktop"])
        with open(entry) as f:
            self.assertLessEqual({f"Icon={APP_ID}", f"StartupWMClass={APP_ID}"}, set(f.read().splitlines()))

        # The Debian package, unpacked: its program finds its page under /usr alone, the build tree hidden.
        package = os.environ.get("ORVI_E2E_PACKAGE") or self.skipTest("no package given in ORVI_E2E_PACKAGE")
        depends = run("dpkg-deb", "-f", package, "Depends").replace(",", " ").split()
        self.assertLessEqual({"bubblewrap", "xdg-dbus-proxy", "libwebkit2gtk-4.1-0", "libsystemd0", "libgtk-layer-shell0"},
                             set(depends))
        for path in ("./usr/lib/systemd/user/orvi-desktop.service", "./usr/share/locale/ar/LC_MESSAGES/orvi-desktop.mo"):
            self.assertIn(path, run("dpkg-deb", "-c", package))
        built = os.path.dirname(os.path.dirname(package))  # the tree whose bundle the program knows of
        hidden = ["unshare", "--mount", "sh", "-c", self.HIDE_BUILD_DIR, "sh", built]
        if subprocess.run(hidden + ["true"], capture_output=True).returncode:
            self.skipTest("cannot hide the build tree: unshare --mount needs the rights")
        root = tempfile.mkdtemp(prefix="orvi-e2e-package-")
        self.addCleanup(shutil.rmtree, root)
        subprocess.run(["dpkg-deb", "-x", package, root], check=True)
        resources = f"{root}/usr/share/orvi-desktop/{BUNDLE}/Resources"
        with open(f"{resources}/index.html", "w") as f:
            f.write(self.link.page)
        app = self.app(self.install(None))  # only for its home
        app.start(hidden + [f"{root}/usr/bin/orvi-desktop"]).wait_window()
        self.assertEqual(self.link.wait_for("ready")["base"], f"file://{resources}/")
        self.assertGreater(self.link.wait_for("face")[0], 0)
        self.assertEqual(self.desktop.prop(app.window, "WM_CLASS").split("\0")[0], APP_ID, "the installed entry's window")
        self.quit(app)
        self.assertEqual([line for line in app.process.log().splitlines() if "resource bundle" in line],
                         [f"could not load resource bundle: from {root}/usr/bin/{BUNDLE} or {built}/{BUNDLE}"])

    def test_the_command_line_answers_without_a_display(self):
        install = self.install(None)
        for env in [self.app(install).env, {"PATH": "/usr/bin:/bin", "HOME": install.dirs["HOME"]}]:
            for option, status, output, error in [
                    ("--version", 0, "Orvi Desktop 1.0.0\n", ""), ("--help", 0, "Usage:\n  orvi-desktop [OPTION", ""),
                    ("--frob", 2, "", "orvi-desktop: Unknown option --frob\nTry 'orvi-desktop --help' for more information.\n")]:
                with self.subTest(option, display=env.get("DISPLAY")):
                    answer = subprocess.run([install.binary, option], env=env, capture_output=True, text=True, timeout=10)
                    self.assertEqual((answer.returncode, answer.stdout[:len(output)], answer.stderr), (status, output, error))
        # In German, GLib's words and the program's alike.
        usage, wrong = (subprocess.run([install.binary, option], env=dict(self.app(install).env, LANG="de_DE.UTF-8"),
                                      capture_output=True, text=True, timeout=10) for option in ("--help", "--frob"))
        self.assertEqual((usage.stdout.splitlines()[3], wrong.stderr), (
            "Zeigt den öffentlichen Assistenten Orvi über dem Bildschirm, hält den Rechner wach",
            "orvi-desktop: Unbekannte Option --frob\n„orvi-desktop --help“ gibt weitere Auskunft.\n"))
        self.assertEqual((self.desktop.managed(), [f for _, _, files in os.walk(install.dirs["HOME"]) for f in files]),
                         ([], []), "no window, no file")


def living():
    """{pid: (parent, environment)} of every process that has not ended."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as stat, open(f"/proc/{pid}/environ", "rb") as env:
            state, parent = stat.read().rsplit(")", 1)[1].split()[:2]
            found.update({int(pid): (int(parent), env.read().split(b"\0"))} if state != "Z" else {})
    return found


class Ended(unittest.TestCase):
    MODULE = """import harness, time; from gi.repository import GLib; d = harness.Desktop().__enter__()
app = harness.App(d, harness.Install(d.link.page, within=d.dir), None).start().wait_window(); d.link.wait_for('ready')
bus = lambda address: harness.dbus_call(address, 'org.freedesktop.DBus', '/org/freedesktop/DBus',
    'org.freedesktop.DBus.GetConnectionUnixProcessID', GLib.Variant('(s)', ('org.freedesktop.DBus',)))[0]
print(d.env['DISPLAY'], app.process.pid, bus(d.bus), bus(d.system_bus), flush=True); time.sleep(120)"""

    def test_a_module_ended_mid_run_leaves_nothing_running(self):
        """Killed (as by ctest's time-out) or sent SIGTERM, it leaves nothing it started running: X, buses, program."""
        for sig in (signal.SIGKILL, signal.SIGTERM):
            with self.subTest(sig), subprocess.Popen(["/usr/bin/python3", "-c", self.MODULE], stdout=subprocess.PIPE,
                                                     cwd=os.path.dirname(__file__)) as module:
                display, *named = module.stdout.readline().split()  # the program and both buses
                ours = {p for p, (parent, env) in living().items() if parent == module.pid or b"DISPLAY=" + display in env}
                module.send_signal(sig)
                self.assertLessEqual(set(map(int, named)), ours)
                left = poll(lambda: ours & living().keys(), lambda left: not left, 20)
                subprocess.run(["kill", "-9", *map(str, left)], capture_output=True)  # for the next run's sake
                self.assertEqual(left, set())


if __name__ == "__main__":
    unittest.main()
