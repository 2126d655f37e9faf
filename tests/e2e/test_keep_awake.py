"""Keeping the station awake: logind, the screen saver service, the session
manager (through GTK) and the X screen saver, against mocks on private buses."""

import ctypes
import re
import time
import unittest

from gi.repository import GLib

from harness import APP_ID, E2ETestCase, dbus_call, eventually, wait_for_bus_name, wait_until

REASON = "Keep the Orvi public assistant ready for voice requests"
OUR_INHIBITOR = ("idle:sleep", APP_ID, REASON, "block")
SCREEN_SAVER = ("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver")
SESSION_MANAGER = ("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager")
SCREEN_SAVER_COOKIE = 7
SESSION_MANAGER_COOKIE = 42
GTK_INHIBIT_IDLE_AND_SUSPEND = 4 | 8
SCREEN_SAVER_ON = 1


class XScreenSaverInfo(ctypes.Structure):
    _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int),
                ("til_or_since", ctypes.c_ulong), ("idle", ctypes.c_ulong), ("event_mask", ctypes.c_ulong)]


def screen_saver_state(display):
    """The X screen saver's state (off 0, on 1, disabled 3), as a client sees it."""
    xlib = ctypes.CDLL("libX11.so.6")
    xss = ctypes.CDLL("libXss.so.1")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XScreenSaverInfo)]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open " + display)
    try:
        info = XScreenSaverInfo()
        if not xss.XScreenSaverQueryInfo(dpy, xlib.XDefaultRootWindow(dpy), ctypes.byref(info)):
            raise RuntimeError("no MIT-SCREEN-SAVER extension")
        return info.state
    finally:
        xlib.XCloseDisplay(dpy)


class KeepAwake(E2ETestCase):
    session = dict(system_bus=True)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # The saver starts after one idle second, so a test sees it come on.
        cls.xsession.x(["xset", "s", "1", "0"])

    def start_mocks(self):
        """logind on the system bus; the screen saver service and the session
        manager on the session bus. Each mock writes every call it gets to
        its standard output, which is its log."""
        self.start_helper("logind", ["/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"])
        wait_for_bus_name(self.bus.system_address, "org.freedesktop.login1")

        self.logs = {}
        for (name, path, interface), methods in [
            (SCREEN_SAVER, [("Inhibit", "ss", "u", f"ret = {SCREEN_SAVER_COOKIE}"),
                            ("UnInhibit", "u", "", "")]),
            (SESSION_MANAGER, [("Inhibit", "susu", "u", f"ret = {SESSION_MANAGER_COOKIE}"),
                               ("Uninhibit", "u", "", ""), ("IsInhibited", "u", "b", "ret = False")]),
        ]:
            self.logs[name] = self.start_helper(name, ["/usr/bin/python3", "-m", "dbusmock", name, path, interface])
            wait_for_bus_name(self.bus.session_address, name)
            for method in methods:
                dbus_call(self.bus.session_address, name, path, "org.freedesktop.DBus.Mock.AddMethod",
                          GLib.Variant("(sssss)", (interface,) + method))

    def inhibitors(self):
        return dbus_call(self.bus.system_address, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager.ListInhibitors")[0]

    def ours(self, inhibitors):
        return [i for i in inhibitors if tuple(i[:4]) == OUR_INHIBITOR]

    def calls(self, name, method):
        """The arguments of each logged call of method on mock name."""
        return [line.split(" ", 2)[2] if line.count(" ") >= 2 else ""
                for line in self.logs[name].log().splitlines()
                if re.match(rf"^\S+ {method}(\s|$)", line)]

    def test_inhibits_while_running_and_lets_go_at_quit(self):
        self.start_mocks()
        app, _ = self.launch(self.make_install())

        held = eventually(self.inhibitors, lambda i: len(self.ours(i)) == 1, 10)
        self.assertEqual(len(self.ours(held)), 1, f"logind inhibitors: {held}")
        self.assertEqual(eventually(lambda: self.calls("org.freedesktop.ScreenSaver", "Inhibit"), bool, 10),
                         [f'"{APP_ID}" "{REASON}"'])
        gtk = eventually(lambda: self.calls("org.gnome.SessionManager", "Inhibit"), bool, 10)
        self.assertEqual(len(gtk), 1)
        self.assertRegex(gtk[0], rf'^"{APP_ID}" \d+ "{REASON}" {GTK_INHIBIT_IDLE_AND_SUSPEND}$')

        self.quit(app)
        self.assertEqual(self.calls("org.freedesktop.ScreenSaver", "UnInhibit"), [str(SCREEN_SAVER_COOKIE)])
        self.assertEqual(self.calls("org.gnome.SessionManager", "Uninhibit"), [str(SESSION_MANAGER_COOKIE)])
        self.assertEqual(self.ours(eventually(self.inhibitors, lambda i: not self.ours(i), 5)), [])

    def poke(self):
        """Some user input, which turns a running saver off (Xvfb's saver does
        not go off by itself when it is suspended)."""
        self.pointer = (5, 795) if getattr(self, "pointer", None) != (5, 795) else (6, 795)
        self.xsession.x(["xdotool", "mousemove", *map(str, self.pointer)])

    def saver_after_idle(self):
        """The saver's state after input and then well past its one-second
        timeout without any."""
        self.poke()
        wait_until(lambda: screen_saver_state(self.xsession.display) != SCREEN_SAVER_ON, 5, "input to wake")
        time.sleep(2.5)
        return screen_saver_state(self.xsession.display)

    def test_x_screen_saver_is_suspended_while_running(self):
        self.assertEqual(self.saver_after_idle(), SCREEN_SAVER_ON, "without the program the saver comes on")

        app, _ = self.launch(self.make_install())
        self.assertNotEqual(self.saver_after_idle(), SCREEN_SAVER_ON)

        self.quit(app)
        self.assertEqual(self.saver_after_idle(), SCREEN_SAVER_ON, "after quitting the saver is back")

    def test_window_appears_promptly_whatever_the_system_bus_does(self):
        for name, address in [
            ("no bus at all", "unix:path=/nonexistent/orvi-e2e-bus"),
            ("a bus without logind", self.bus.system_address),
        ]:
            with self.subTest(name):
                app = self.make_app(self.make_install(), env={"DBUS_SYSTEM_BUS_ADDRESS": address})
                app.start().window(timeout=10)  # fails the test if it takes longer
                self.quit(app, 5)


if __name__ == "__main__":
    unittest.main()
