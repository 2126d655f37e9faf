"""The page bridge on the real binary: which page messages open links in the
default browser and which are dropped, "wake" on a shown window, and what
the program answers when the page asks for the camera and the microphone
(WebKit's mock capture devices stand in for real ones)."""

import collections
import json
import time
import unittest

from bubble_support import BubbleRig
from desktop_support import FakeBrowser
from harness import (WORK_AREA, Accessibility, E2ETestCase, atoms, centre, eventually, find, wait_until,
                     window_ids)

# Each is opened exactly as written, once.
OPENED = [
    {"type": "openExternal", "url": "https://example.org/"},
    {"type": "openExternal", "url": "http://example.org/path?q=1&r=2#frag"},
    {"type": "openExternal", "url": "https://example.org/a%20b?x=%C3%A9#f"},
    {"type": "openExternal", "url": "https://example.org/extra", "target": "_blank", "more": {"a": [1, 2]}},
]
# (what it is, the message, whether GIO itself would open its URL)
IGNORED = [
    ("scheme in capitals", {"type": "openExternal", "url": "HTTPS://example.org/"}, True),
    ("scheme in mixed case", {"type": "openExternal", "url": "Http://example.org/"}, True),
    ("file", {"type": "openExternal", "url": "file:///etc/hostname"}, True),
    ("javascript", {"type": "openExternal", "url": "javascript:alert(1)"}, True),
    ("mail", {"type": "openExternal", "url": "mailto:someone@example.org"}, True),
    ("ftp", {"type": "openExternal", "url": "ftp://example.org/x"}, True),
    ("a space, not a URL", {"type": "openExternal", "url": "https://example.org/a b"}, True),
    ("relative path", {"type": "openExternal", "url": "help/index.html"}, False),
    ("no url", {"type": "openExternal"}, False),
    ("url a number", {"type": "openExternal", "url": 42}, False),
    ("type in other case", {"type": "OpenExternal", "url": "https://example.org/case"}, True),
    ("a bare string", "minimize", False),
    ("type in capitals", {"type": "Minimize"}, False),
    ("type a number", {"type": 42}, False),
    ("a list", ["minimize"], False),
    ("no type", {"kind": "minimize"}, False),
    ("null", None, False),
]

MOCK_MICROPHONE = "audio: Mock audio device 1"
MOCK_CAMERA = "video: Mock video device 1"
QUESTION = "Allow this page to use your camera and microphone?"


def capture_script(constraints, tag):
    """Page script asking for capture devices; reports 'capture' with the
    outcome: the tracks' kinds and labels, or the error's name."""
    tag = json.dumps(tag)
    return (f"navigator.mediaDevices.getUserMedia({constraints}).then("
            f"s => report('capture', {{ tag: {tag}, tracks: s.getTracks().map(t => t.kind + ': ' + t.label) }}), "
            f"e => report('capture', {{ tag: {tag}, error: e.name }}))")


class PageBridge(E2ETestCase):
    session = dict(panel=True, link=True)

    def test_only_web_links_reach_the_default_browser(self):
        install = self.make_install(self.link.page())
        browser = FakeBrowser(install)
        app_env = self.make_app(install).env
        # Without the program's checks each of these would reach the fake
        # browser, so its silence below means something.
        would_open = [message["url"] for _, message, opens in IGNORED if opens]
        browser.open_directly(app_env, would_open)
        self.assertEqual(len(eventually(browser.opened, lambda o: len(o) >= len(would_open), 10)),
                         len(would_open), "the fake browser does not get what GIO opens")
        browser.forget()

        rig = BubbleRig.launch(self, install)
        for _, message, _ in IGNORED:
            self.link.post(message)
        for message in OPENED:
            self.link.post(message)
        eventually(browser.opened, lambda o: len(o) >= len(OPENED), 15)
        time.sleep(1)  # room for anything that should not be there
        self.assertEqual(collections.Counter(map(tuple, browser.opened())),
                         collections.Counter((message["url"],) for message in OPENED))
        rig.wait_expanded(WORK_AREA)
        self.assertEqual(self.link.of("pause"), [], "nothing collapsed the assistant")

    def test_wake_on_a_shown_window_puts_it_back_over_the_work_area(self):
        rig = BubbleRig.launch(self)
        rig.set_frame((100, 60, 1000, 650))
        resumes = self.link.count("resume")
        self.link.post({"type": "wake"})
        rig.wait_expanded(WORK_AREA)
        self.link.wait_for("resume", count=resumes + 1)

    def test_microphone_or_camera_alone_is_granted_without_asking(self):
        BubbleRig.launch(self)
        windows = self.xsession.managed_windows()
        for constraints, track in [("{audio: true}", MOCK_MICROPHONE), ("{video: true}", MOCK_CAMERA)]:
            with self.subTest(constraints):
                self.link.run(capture_script(constraints, constraints))
                outcome = self.link.wait_for("capture", predicate=lambda r: r["tag"] == constraints)
                self.assertEqual(outcome.get("tracks"), [track], outcome)
                self.assertEqual(self.xsession.managed_windows(), windows, "nothing was shown")

    def test_camera_and_microphone_together_are_asked_about(self):
        self.a11y = self.enterContext(Accessibility(self.xsession, self.bus))
        x = self.xsession

        def press(key):
            return lambda dialog, _: x.press(dialog, key)

        def click_dont_allow(_, described):
            x.click(*centre(find(described, role="push button", name="Don't Allow")[0]))

        def close_it(dialog, _):
            x.x(["wmctrl", "-i", "-c", hex(dialog)])

        answers = [
            ("Return", press("Return"), {"tracks": [MOCK_MICROPHONE, MOCK_CAMERA]}),
            ("Escape", press("Escape"), {"error": "NotAllowedError"}),
            ("Don't Allow", click_dont_allow, {"error": "NotAllowedError"}),
            ("closed", close_it, {"error": "NotAllowedError"}),
        ]
        # The page remembers an answer, so each one gets a fresh run.
        for name, answer, outcome in answers:
            with self.subTest(name):
                self.link.clear()
                rig = BubbleRig.launch(self)
                try:
                    self.answer_prompt(rig, name, answer, outcome)
                finally:
                    rig.app.stop()

    def answer_prompt(self, rig, name, answer, outcome):
        x = self.xsession
        windows = x.managed_windows()
        self.link.run(capture_script("{audio: true, video: true}", name))
        dialog = wait_until(lambda: [w for w in x.managed_windows() if w not in windows], 15, "a dialog")[0]
        props = x.props(dialog)
        self.assertIn("_NET_WM_WINDOW_TYPE_DIALOG", props.get("_NET_WM_WINDOW_TYPE", ""))
        self.assertEqual(window_ids(props.get("WM_TRANSIENT_FOR")), [rig.window])
        self.assertIn("_NET_WM_STATE_MODAL", atoms(props.get("_NET_WM_STATE")))

        described = wait_until(lambda: self.a11y.dialogs(rig.app.process.pid), 15,
                               "the dialog on the accessibility bus")[0]
        self.assertEqual([n["name"] for n in find(described, role="label")][:1], [QUESTION])
        self.assertEqual([(b["name"], "is-default" in b["states"]) for b in find(described, role="push button")],
                         [("Don't Allow", False), ("Allow", True)])
        self.assertEqual(self.link.of("capture"), [], "no answer before the user's")

        answer(dialog, described)
        got = dict(self.link.wait_for("capture", predicate=lambda r: r["tag"] == name))
        del got["tag"]
        if "tracks" in got:
            got["tracks"] = sorted(got["tracks"])
        self.assertEqual(got, outcome)
        self.assertEqual(eventually(x.managed_windows, lambda w: w == windows, 5), windows)

if __name__ == "__main__":
    unittest.main()
