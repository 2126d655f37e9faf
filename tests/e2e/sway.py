"""A headless sway (native Wayland, layer shell) for orvi-desktop: a 1280x800 output under a 28-pixel bar, run as an
unprivileged user (sway refuses root); its screen read with grim, a pointer and a keyboard driven on the wire."""

import ctypes, glob, os, socket, struct, subprocess, time
from harness import Desktop, PageLink, run, wait

NOBODY = 65534
AREA = (0, 28, 1280, 772)  # what the bar leaves of the output
MAGENTA, TEAL, AMBER = (255, 0, 255), (20, 82, 92), (245, 173, 20)  # the test page, the bubble's fill and ring
CONFIG = """output HEADLESS-1 resolution 1280x800 position 0 0
xwayland disable
default_border none
bar {
    position top
    height 28
    status_command sleep infinity
    colors {
        background #00c800
    }
}
"""


def close_to(pixel, colour, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def home(area):
    """Where the bubble goes first, on a screen whose work area is area."""
    x, y, w, h = area
    return x + w - 136, y + h - 136


KEYS = {"Return": 28, "space": 57, "n": 49, "q": 16, "Escape": 1}  # evdev codes
CONTROL = 1 << 2  # the keymap's Control modifier


def us_keymap():
    """An ordinary US keyboard's keymap, from libxkbcommon."""
    xkb = ctypes.CDLL("libxkbcommon.so.0")
    for name, result in [("xkb_context_new", ctypes.c_void_p), ("xkb_keymap_new_from_names", ctypes.c_void_p),
                         ("xkb_keymap_get_as_string", ctypes.c_void_p)]:
        getattr(xkb, name).restype = result
    xkb.xkb_keymap_new_from_names.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
    xkb.xkb_keymap_get_as_string.argtypes = [ctypes.c_void_p, ctypes.c_int]
    keymap = xkb.xkb_keymap_new_from_names(xkb.xkb_context_new(0), None, 0)
    return ctypes.string_at(xkb.xkb_keymap_get_as_string(keymap, 1)) + b"\0"


class VirtualInput:
    """The seat's pointer (absolute moves, the primary button) and keyboard (an ordinary keymap, there for the whole
    session as a station's is), through sway's virtual-pointer and virtual-keyboard protocols."""

    def __init__(self, path):
        self.sock, self.ids = socket.socket(socket.AF_UNIX), iter(range(2, 1 << 20))
        self.sock.connect(path)
        self.registry, names = next(self.ids), {}
        self.send(1, 1, self.registry)  # wl_display.get_registry
        # Each global announced: its name, then its interface as a string.
        self.sync(lambda obj, op, data: obj == self.registry and op == 0 and names.update(
            {data[8:8 + struct.unpack_from("<I", data, 4)[0] - 1].decode(): struct.unpack_from("<I", data)[0]}))
        bound = {}
        for interface in ("wl_seat", "zwlr_virtual_pointer_manager_v1", "zwp_virtual_keyboard_manager_v1"):
            bound[interface] = next(self.ids)
            self.send(self.registry, 0, names[interface], self.string(interface), 1, bound[interface])  # bind
        self.pointer, self.keyboard = next(self.ids), next(self.ids)
        self.send(bound["zwlr_virtual_pointer_manager_v1"], 0, 0, self.pointer)  # the default seat
        self.send(bound["zwp_virtual_keyboard_manager_v1"], 0, bound["wl_seat"], self.keyboard)
        keymap, fd = us_keymap(), os.memfd_create("keymap")
        os.write(fd, keymap)
        self.send(self.keyboard, 0, 1, len(keymap), fds=[fd])  # keymap: XKB v1
        os.close(fd)
        self.sync()

    @staticmethod
    def string(text):
        data = text.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    def send(self, obj, opcode, *args, fds=()):
        payload = b"".join(a if isinstance(a, bytes) else struct.pack("<I", a) for a in args)
        message = struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload
        self.sock.sendmsg([message], [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack(f"{len(fds)}i", *fds))] if fds else [])

    def sync(self, each=lambda obj, op, data: None):
        """Waits for the compositor to have handled everything sent so far, handing it each event meanwhile."""
        callback, buffer = next(self.ids), b""
        self.send(1, 0, callback)
        while True:
            while len(buffer) < 8 or len(buffer) < struct.unpack_from("<II", buffer)[1] >> 16:
                buffer += self.sock.recv(65536)
            obj, size_op = struct.unpack_from("<II", buffer)
            data, buffer = buffer[8:size_op >> 16], buffer[size_op >> 16:]
            if obj == 1 and size_op & 0xFFFF == 0:
                raise RuntimeError(f"Wayland error: {data}")
            if obj == callback:
                return
            each(obj, size_op & 0xFFFF, data)

    def now(self):
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def pointed(self, opcode, *args):
        self.send(self.pointer, opcode, self.now(), *args)
        self.send(self.pointer, 4)  # frame
        self.sync()

    def move(self, x, y):
        self.pointed(1, x, y, 1280, 800)  # motion_absolute, over the whole first output

    def button(self, pressed):
        self.pointed(2, 0x110, int(pressed))  # BTN_LEFT

    def click(self, x, y):
        self.move(x, y)
        self.button(True)
        self.button(False)

    def key(self, name, control=False):
        """Presses and lets go of a key, with Ctrl held if asked."""
        self.send(self.keyboard, 2, CONTROL if control else 0, 0, 0, 0)  # modifiers
        for state in (1, 0):
            self.send(self.keyboard, 1, self.now(), KEYS[name], state)
        self.send(self.keyboard, 2, 0, 0, 0, 0)
        self.sync()
        time.sleep(0.1)


class Sway(Desktop):
    """Runs what it starts as the desktop does (spawn, x), on the compositor."""

    def _start(self):
        self._begin("orvi-sway-")
        runtime, home = f"{self.dir}/runtime", f"{self.dir}/home"
        for folder in (runtime, home):
            os.makedirs(folder, mode=0o700)
        with open(f"{self.dir}/config", "w") as f:
            f.write(CONFIG)
        self.own(self.dir)
        self.prefix = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] if os.geteuid() == 0 else []
        user = dict(HOME=home, XDG_RUNTIME_DIR=runtime)
        self.spawn("sway", self.prefix + ["sway", "-c", f"{self.dir}/config"],
                   dict(user, WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1"))
        found = lambda pattern: ([p for p in glob.glob(f"{runtime}/{pattern}") if not p.endswith(".lock")] or [None])[0]
        self.runtime = runtime  # where the program's processes (and WebKit's sandbox) find the compositor
        self.env.update(WAYLAND_DISPLAY=wait(lambda: found("wayland-*"), what="sway"),
                        SWAYSOCK=wait(lambda: found("sway-ipc.*"), what="sway's socket"))
        address, pid = run(*self.prefix, "dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1",
                           env=dict(os.environ, **self.env, **user)).split()
        self.callback(os.kill, int(pid), 15)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.link = self.enter_context(PageLink())
        self.input = VirtualInput(self.env["WAYLAND_DISPLAY"])
        wait(lambda: self.pixel(640, 14) == (0, 200, 0), 20, "the bar")

    def own(self, path):
        """Hands a folder of the test's to the session's user."""
        if os.geteuid() == 0:
            subprocess.run(["chown", "-R", f"{NOBODY}:{NOBODY}", path], check=True)

    def shot(self):
        """The whole layout: (width, height, RGB bytes)."""
        data = subprocess.run(["grim", "-t", "ppm", "-"], env=dict(os.environ, **self.env), capture_output=True,
                              check=True).stdout
        magic, width, height, depth, pixels = data.split(maxsplit=4)
        return int(width), int(height), pixels

    def pixel(self, x, y):
        width, _, data = self.shot()
        return tuple(data[3 * (y * width + x):3 * (y * width + x) + 3])

    def seen(self):
        """What a person sees: where the page shows (the bounds of its magenta, or None) and where the bubble is (the
        top-left corner of its amber ring, or None)."""
        width, height, data = self.shot()

        def bounds(matches, step):
            spots = [(x, y) for y in range(0, height, step) for x in range(0, width, step)
                     if matches(data[3 * (y * width + x):3 * (y * width + x) + 3])]
            if not spots:
                return None
            xs, ys = [x for x, _ in spots], [y for _, y in spots]  # then to the pixel
            exact = [(x, y) for y in range(max(0, min(ys) - step), min(height, max(ys) + step))
                     for x in range(max(0, min(xs) - step), min(width, max(xs) + step))
                     if matches(data[3 * (y * width + x):3 * (y * width + x) + 3])]
            x0, y0 = min(x for x, _ in exact), min(y for _, y in exact)
            return x0, y0, max(x for x, _ in exact) + 1 - x0, max(y for _, y in exact) + 1 - y0

        teal = bounds(lambda p: close_to(p, TEAL, 6), 8)
        ring = teal and bounds(lambda p: close_to(p, AMBER), 2)
        return bounds(lambda p: p == bytes(MAGENTA), 16), ring and ring[:2]
