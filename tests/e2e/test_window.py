"""The assistant window and its page: where the window goes, what the page gets, the identity kept for the station,
resizing with the pointer, the fallback page."""

import base64, io, re, unittest, wave
from harness import E2ETest, RESOURCES, WORK_AREA, poll, wait

MEMBER_ID = re.compile(r"^orvi-kiosk-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")
MAGENTA = (255, 0, 255)


def data_url(kind, data):
    return f"data:{kind};base64,{base64.b64encode(data).decode()}"


def half_a_second_of_sound():
    with io.BytesIO() as buffer:
        with wave.open(buffer, "wb") as sound:
            sound.setnchannels(1), sound.setsampwidth(2), sound.setframerate(8000)
            sound.writeframes(b"\1\0" * 4000)
        return data_url("audio/wav", buffer.getvalue())


class Window(E2ETest):
    def test_the_window_covers_the_work_area_and_the_page_gets_what_it_needs(self):
        app, d = self.launch(), self.desktop
        ready = self.link.of("ready")[0]
        self.assertRegex(ready["member"], MEMBER_ID)
        self.assertIs(ready["kiosk"], True)
        self.assertEqual(self.link.wait_for("frame"), ["undefined", "undefined"], "the globals are the top frame's")
        width, *texts = self.link.wait_for("face")
        with open(f"{RESOURCES}/orvi-default.webp", "rb") as face:
            self.assertEqual(texts, [data_url("image/webp", face.read()), "orvi_default_face_data"])
        self.assertGreater(width, 0)

        self.assertEqual(d.geometry(app.window), WORK_AREA)
        self.assertIn("_NET_WM_STATE_ABOVE", d.atoms(app.window, "_NET_WM_STATE"))
        self.assertEqual(d.prop(app.window, "_NET_WM_DESKTOP"), [0xFFFFFFFF], "on every desktop")
        x, y, w, h = WORK_AREA
        corners = [(x, y), (x + w - 1, y), (x, y + h - 1), (x + w - 1, y + h - 1)]
        self.assertEqual(poll(lambda: [d.pixel(*c) for c in corners], lambda p: p == [MAGENTA] * 4), [MAGENTA] * 4)
        self.assertNotEqual(d.pixel(x + 640, y - 1), MAGENTA)

        self.link.run(f"new Audio('{half_a_second_of_sound()}').play().then(() => report('played', 'yes'), "
                      "e => report('played', e.name))")
        self.assertEqual(self.link.wait_for("played"), "yes", "sound starts without a click")

        d.xdo("windowsize", app.window, 500, 300)
        self.assertEqual(poll(lambda: d.geometry(app.window)[2:], lambda s: s == (900, 620), 10), (900, 620))

        self.quit(app)
        self.assertEqual(app.install.read_defaults()["OrviDesktopGuestMemberID"], {"text": ready["member"]})
        self.launch(app.install)
        self.assertEqual(self.link.of("ready")[1]["member"], ready["member"])

    def test_the_pointer_resizes_the_window_by_its_edges_down_to_900_by_620(self):
        app, d = self.launch(), self.desktop
        d.x("wmctrl", "-i", "-r", hex(app.window), "-e", "0,100,60,1000,700")
        wait(lambda: d.geometry(app.window) == (100, 60, 1000, 700), 10, "the window moved")
        page_size = lambda: tuple(self.link.ask("report('size', [innerWidth, innerHeight])", "size"))
        self.assertEqual(poll(page_size, lambda s: s == (1000, 700), 10), (1000, 700))
        for (x, y), (dx, dy), size in [((1097, 400), (120, 0), (1120, 700)),  # the right edge
                                       ((1215, 755), (-400, -200), (900, 620))]:  # the bottom-right corner
            def dragged():
                d.xdo("mousemove", x + dx // 2, y + dy // 2, "mousemove", x + dx, y + dy)
                return d.geometry(app.window)[2:]

            d.xdo("mousemove", x, y, "mousedown", 1)
            try:  # the window manager takes the pointer over in its own time: move until the window follows
                self.assertEqual(poll(dragged, lambda s: s == size, 5), size)
            finally:
                d.xdo("mouseup", 1)
            self.assertEqual(poll(page_size, lambda s: s == size, 10), size, "the page follows the window")

    def test_a_page_that_cannot_be_shown_gives_way_to_the_fallback(self):
        d = self.desktop
        for name, page in [("no page", None), ("not UTF-8", self.link.page.encode() + b"\xff\xfe")]:
            with self.subTest(name):
                app = self.launch(self.install(page))
                # Dark text, and where the page paints nothing the window's light background.
                seen = lambda: (sum(max(p) < 100 for p in d.pixels((0, 60, 640, 60))), min(d.pixel(640, 700)))
                shown = poll(seen, lambda s: s[0] > 20 and s[1] > 200, 15)
                self.assertTrue(shown[0] > 20 and shown[1] > 200, f"dark pixels, lightest background: {shown}")
                self.quit(app)
        self.assertEqual(self.link.reports, [], "the unusable page never ran")


if __name__ == "__main__":
    unittest.main()
