"""What a visitor walking up to the station can reach beyond the page: none of the engine's menus, file chooser, print
dialog, downloads or new windows; and a station left on another page comes back to its interface by itself."""

import os, socket, time, unittest
from harness import E2ETest, poll, wait

# What the test puts on the page, each at its own place: (name, x, y, HTML). The page's top is at 28 on the screen.
ITEMS = [("link", 40, 60, '<a href="{url}elsewhere">elsewhere</a>'),
         ("blank", 40, 120, '<a href="{url}elsewhere" target="_blank">blank</a>'),
         ("download", 40, 180, '<a id="saved" download="x.txt">download</a>'),
         ("attachment", 40, 240, '<a href="{url}attachment">attachment</a>'),
         ("file", 40, 300, '<input type="file">'), ("field", 40, 360, '<input value="some words">'),
         ("text", 40, 420, '<p style="margin:0">some text</p>'), ("image", 40, 480, '<img width="60" height="60">'),
         ("page", 600, 600, "")]
EDITING = {"Cut", "Copy", "Paste", "Delete", "Select All", "Insert Emoji", "Input Methods",
           "Insert Unicode Control Character", "Paste As Plain Text"}


class Visitor(E2ETest):
    def launch_with_items(self, *args):
        install = self.install()
        app = self.app(install).start([install.binary, *args]).wait_window()
        self.link.wait_for("ready")
        html = "".join(f'<div style="position:absolute;left:{x}px;top:{y}px;font-size:30px">'
                       f'{markup.format(url=self.link.page_url)}</div>' for _, x, y, markup in ITEMS)
        self.link.run(f"document.body.insertAdjacentHTML('beforeend', {html!r}); "
                      "saved.href = URL.createObjectURL(new Blob(['x'])); "
                      "document.querySelectorAll('img')[1].src = document.querySelector('img').src")
        return app, install

    def at(self, name):
        return next((x + 10, 28 + y + 15) for item, x, y, _ in ITEMS if item == name)

    def shown_windows(self):
        """Every viewable window on the display but tool tips: a menu or a dialog that comes up is a new one."""
        d = self.desktop
        return {w.id for w in d.root.query_tree().children
                if d.viewable(w.id) and "_NET_WM_WINDOW_TYPE_TOOLTIP" not in d.atoms(w.id, "_NET_WM_WINDOW_TYPE")}

    def test_the_engines_ways_out_of_the_page_stay_closed(self):
        app, install = self.launch_with_items()
        files = lambda: {os.path.join(d, f) for d, _, fs in os.walk(install.dirs["HOME"]) for f in fs}
        d, windows, before = self.desktop, self.shown_windows(), files()
        for name, button in [("page", 3), ("link", 3), ("image", 3), ("text", 3), ("file", 1)]:
            with self.subTest(name):
                d.xdo("mousemove", *self.at(name), "click", button)
                time.sleep(1)  # room for what should not come
                self.assertEqual(self.shown_windows() - windows, set())
        d.xdo("mousemove", *self.at("field"), "click", 3)  # an editable field keeps its editing items
        items = wait(lambda: [n["name"] for n in d.accessible(app.process.pid, role="menu item")], 10, "the menu")
        self.assertTrue({"Cut", "Copy", "Paste", "Select All"} <= set(items) <= EDITING, items)
        d.xdo("key", "Escape")
        poll(self.shown_windows, lambda w: w == windows, 5)

        self.assertEqual(self.link.ask("window.print(); report('printed', 1)", "printed", timeout=5), 1)
        for name, how in [("download", ["click", 1]), ("attachment", ["click", 1]), ("link", ["click", 2]),
                          ("link", ["keydown", "ctrl", "click", 1, "keyup", "ctrl"]),
                          ("link", ["keydown", "shift", "click", 1, "keyup", "shift"]), ("blank", ["click", 1])]:
            with self.subTest(name, how=how):
                d.xdo("mousemove", *self.at(name), *how)
                if name == "attachment":  # its request is made, and the page's own ones then are lost
                    self.link.wait_for("attachment")
                    time.sleep(1.5)
                self.link.run("0", timeout=10)  # the same page still answers
        time.sleep(1)
        self.assertEqual([k for k, _ in self.link.reports if k in ("ready", "elsewhere")], ["ready"])
        self.assertEqual([kind for kind, _ in self.link.reports].count("attachment"), 1)
        self.assertEqual((files() - before, self.shown_windows() - windows), (set(), set()))

    def test_a_station_left_on_another_page_comes_back_to_its_interface(self):
        app, _ = self.launch_with_items("--return-home-after=0.1", "--verbose")  # 6 s
        d, readies = self.desktop, lambda: len(self.link.of("ready"))
        time.sleep(8)
        self.assertEqual(readies(), 1, "the interface itself is never reloaded")
        with socket.socket() as closed:  # a port nobody listens on
            closed.bind(("127.0.0.1", 0))
            failing = f"http://127.0.0.1:{closed.getsockname()[1]}/"
        for away, busy in [(f"{self.link.page_url}elsewhere", 0), (failing, 0), (f"{self.link.page_url}elsewhere", 10)]:
            with self.subTest(away, busy=busy):
                before = readies()
                self.link.send(f"location.href = {away!r}")
                left = time.monotonic()
                while time.monotonic() - left < busy:  # someone at the station
                    d.xdo("mousemove", 300 + int(time.monotonic() * 10) % 200, 500)
                    time.sleep(0.5)
                self.link.wait_for("ready", timeout=30, count=before + 1)
                self.assertGreater(time.monotonic() - left, busy + 5)
                self.link.run("0")
        self.assertEqual(app.process.log().count("showing the interface again"), 3)


if __name__ == "__main__":
    unittest.main()
