"""The assistant window, its page and the single running instance, checked
on the real binary under Xvfb + openbox with a 28-pixel top panel."""

import base64
import os
import re
import time
import unittest

from harness import RESOURCES, TITLE, WORK_AREA, E2ETestCase, eventually, wait_until

MAGENTA = (255, 0, 255)
MEMBER_ID = re.compile(r"^orvi-kiosk-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")
FALLBACK_PAGE = "<h1>Orvi interface is unavailable.</h1>"

# Paints the whole window magenta and reports what it finds. The globals are
# read by the page's very first script, before anything of its own runs.
PROBE_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8">
<script>
  var seenFirst = { memberType: typeof window.ORVI_MEMBER_ID, member: window.ORVI_MEMBER_ID,
                    kiosk: window.ORVI_KIOSK };
</script>
@REPORT@
<script>
  report('globals', seenFirst);
  window.orviResume = function () { report('resume'); };
  var faceInScript = "ORVI_DEFAULT_FACE_DATA";
  var otherCase = "orvi_default_face_data";
</script>
<style>html, body { margin: 0; height: 100%; background: #ff00ff; }
  img, iframe { position: absolute; left: 600px; top: 300px; width: 8px; height: 8px; border: 0; }</style>
</head><body>
<img src="ORVI_DEFAULT_FACE_DATA"
  onload="report('face', { width: this.naturalWidth, script: faceInScript, other: otherCase })"
  onerror="report('face', { error: true, script: faceInScript })">
<iframe srcdoc="<script>parent.report('frame', { memberType: typeof window.ORVI_MEMBER_ID,
  kiosk: typeof window.ORVI_KIOSK })</script>"></iframe>
</body></html>"""


def face_data_url():
    with open(os.path.join(RESOURCES, "orvi-default.webp"), "rb") as f:
        return "data:image/webp;base64," + base64.b64encode(f.read()).decode()


class Foundation(E2ETestCase):
    session = dict(panel=True, link=True)

    def probe_install(self):
        return self.make_install(PROBE_PAGE.replace("@REPORT@", self.link.script()))

    def test_window_fills_the_work_area_above_everything_on_all_desktops(self):
        app, window = self.launch(self.probe_install())
        self.link.wait_for("globals")

        # The frame is the work area below the panel, not the whole screen.
        self.assertEqual(eventually(lambda: self.xsession.geometry(window), lambda g: g == WORK_AREA, 5),
                         WORK_AREA)
        self.assertIn("_NET_WM_STATE_ABOVE", self.xsession.prop(window, "_NET_WM_STATE") or "")
        self.assertEqual(self.xsession.prop(window, "_NET_WM_DESKTOP"), str(0xFFFFFFFF))

        # The page fills it: its colour reaches every corner and stops at the panel.
        x, y, w, h = WORK_AREA
        corners = [(x + 1, y + 1), (x + w - 2, y + 1), (x + 1, y + h - 2), (x + w - 2, y + h - 2)]
        shot = eventually(self.xsession.screenshot,
                          lambda s: all(s.pixel(*c) == MAGENTA for c in corners), 10)
        self.assertEqual([shot.pixel(*c) for c in corners], [MAGENTA] * 4)
        self.assertNotEqual(shot.pixel(x + w // 2, y - 2), MAGENTA)

    def test_page_gets_its_globals_first_and_the_face_image(self):
        app, _ = self.launch(self.probe_install())

        seen = self.link.wait_for("globals")
        self.assertEqual(seen["memberType"], "string")
        self.assertEqual(len(seen["member"]), 47)
        self.assertRegex(seen["member"], MEMBER_ID)
        self.assertIs(seen["kiosk"], True)
        # The script goes into the top frame only.
        self.assertEqual(self.link.wait_for("frame"),
                         {"memberType": "undefined", "kiosk": "undefined"})

        face = self.link.wait_for("face")
        self.assertFalse(face.get("error"), "the face data URL did not decode as an image")
        self.assertGreater(face["width"], 0)
        self.assertEqual(face["script"], face_data_url(), "every placeholder is replaced")
        self.assertEqual(face["other"], "orvi_default_face_data", "only the exact token is replaced")

    def test_member_id_is_kept_across_launches(self):
        install = self.probe_install()
        app, _ = self.launch(install)
        first = self.link.wait_for("globals")["member"]
        self.quit(app)
        self.assertEqual(install.read_defaults()["values"]["OrviDesktopGuestMemberID"], {"text": first})

        self.link.clear()
        self.launch(install)
        self.assertEqual(self.link.wait_for("globals")["member"], first)

    def test_stored_member_id(self):
        # (stored value, what the page gets or None for a newly made id)
        cases = [
            ({"text": "   "}, "   "),
            ({"integer": 42}, "42"),
            ({"text": ""}, None),
            ({"list": [{"text": "orvi-kiosk-x"}]}, None),
        ]
        for stored, expected in cases:
            with self.subTest(stored=stored):
                self.link.clear()
                install = self.probe_install()
                install.write_defaults({"OrviDesktopGuestMemberID": stored})
                app, _ = self.launch(install)
                member = self.link.wait_for("globals")["member"]
                self.quit(app)
                kept = install.read_defaults()["values"]["OrviDesktopGuestMemberID"]
                if expected is None:
                    self.assertRegex(member, MEMBER_ID)
                    self.assertEqual(kept, {"text": member})
                else:
                    self.assertEqual(member, expected)
                    self.assertEqual(kept, stored, "a usable stored id is left alone")

    def test_second_launch_brings_the_running_window_forward(self):
        install = self.probe_install()
        first, window = self.launch(install)
        self.link.wait_for("globals")

        cover = self.xsession.spawn("xmessage", ["xmessage", "-title", "Cover", "cover"])
        self.addCleanup(cover.stop)
        self.keep_log("xmessage", cover)
        covers = wait_until(lambda: self.xsession.windows_named("Cover", visible_only=True), 10, "xmessage")
        wait_until(lambda: self.xsession.active_window() in covers, 10, "xmessage to take the focus")
        resumes = len(self.link.of("resume"))

        second = self.make_app(install).start()
        self.assertEqual(second.wait_exit(10), 0, "the second launch should hand over and exit 0")

        self.assertEqual(eventually(self.xsession.active_window, lambda w: w == window, 5), window)
        self.link.wait_for("resume", count=resumes + 1)
        self.assertTrue(first.process.running())
        self.assertEqual(self.xsession.windows_named(TITLE), [window])

    def test_closing_the_window_quits_promptly(self):
        app, window = self.launch(self.probe_install())
        self.link.wait_for("globals")
        app.close()
        self.assertEqual(app.wait_exit(5), 0, "the program should end within 5 s of the close")
        self.assertEqual(self.xsession.windows_named(TITLE), [])

    def settled_pixels(self):
        last = None
        for _ in range(50):
            pixels = self.xsession.screenshot().region(WORK_AREA)
            if pixels == last:
                break
            last = pixels
            time.sleep(0.2)
        return pixels

    def pixels_with_text_selected(self, install, accept, timeout=15):
        """The window's pixels with all the page's text selected, which shows
        text whatever its colours. The page gives no sign of having loaded,
        so this selects again until accept(pixels) or the time is up."""
        app, window = self.launch(install)
        # Selections look different in a window without the focus.
        wait_until(lambda: self.xsession.active_window() == window, 10, "the window to be active")
        unselected = self.settled_pixels()
        deadline = time.monotonic() + timeout
        while True:
            self.xsession.x(["xdotool", "mousemove", "--window", str(window), "640", "500", "click", "1"])
            self.xsession.x(["xdotool", "key", "ctrl+a"])
            pixels = self.settled_pixels()
            if accept(pixels, unselected) or time.monotonic() > deadline:
                break
        self.quit(app)
        return pixels

    def test_unusable_page_shows_the_fallback(self):
        # What the fallback looks like: its text, shown as a page of its own.
        reference = self.pixels_with_text_selected(self.make_install(FALLBACK_PAGE),
                                                   lambda pixels, unselected: pixels != unselected)

        not_utf8 = PROBE_PAGE.replace("@REPORT@", self.link.script()).encode() + b"\xff\xfe"
        for name, page in [("no index.html", None), ("index.html not UTF-8", not_utf8)]:
            with self.subTest(name):
                self.link.clear()
                shown = self.pixels_with_text_selected(self.make_install(page),
                                                       lambda pixels, _: pixels == reference)
                self.assertEqual(self.link.reports, [], "the page itself was loaded")
                self.assertTrue(shown == reference, "the window does not show the fallback page")

if __name__ == "__main__":
    unittest.main()
