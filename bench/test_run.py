#!/usr/bin/python3
"""Checks of the benchmark runner's own machinery: the page marker, the load
listener, stopping process trees and counting a tree's memory.

    /usr/bin/python3 -m unittest discover -s bench -v
"""

import mmap
import os
import signal
import subprocess
import time
import unittest
import urllib.request

import run


class BenchmarkPageTest(unittest.TestCase):
    PAGE = "<html><head><title>x</title></head><body>ORVI_DEFAULT_FACE_DATA</body></html>"

    def test_marker_goes_into_the_head_once(self):
        page = run.benchmark_page(self.PAGE, 4321, "orvi-01")
        head, _, body = page.partition("</head>")
        self.assertIn('addEventListener("load"', head)
        self.assertIn("http://127.0.0.1:4321/loaded?who=orvi-01", head)
        self.assertEqual(body, "<body>ORVI_DEFAULT_FACE_DATA</body></html>")
        self.assertEqual(page.replace(run.load_marker(4321, "orvi-01"), ""), self.PAGE)

    def test_pages_without_exactly_one_head_end_are_refused(self):
        for page in ("<html><body></body></html>", "<head></head><head></head>"):
            with self.subTest(page=page), self.assertRaises(SystemExit):
                run.benchmark_page(page, 1, "bare-01")

    def test_every_kind_gives_a_page_of_the_same_size(self):
        sizes = {len(run.benchmark_page(self.PAGE, 4321, "%s-%02d" % (name, 7)))
                 for name in run.KIND_NAMES.values()}
        self.assertEqual(len(sizes), 1)


class ListenerTest(unittest.TestCase):
    def setUp(self):
        self.listener = run.Listener()
        self.addCleanup(self.listener.close)

    def get(self, path):
        url = "http://127.0.0.1:%d%s" % (self.listener.port, path)
        with urllib.request.urlopen(url, timeout=5) as reply:
            self.assertEqual(reply.status, 204)

    def test_records_only_the_awaited_run_and_its_first_arrival(self):
        probes = []
        self.listener.expect("orvi-01", probe=lambda: probes.append(time.monotonic()) or "taken")
        before = time.monotonic()
        self.get("/loaded?who=bare-01")
        self.get("/other?who=orvi-01")
        self.assertIsNone(self.listener.wait("orvi-01", 0.2))
        self.get("/loaded?who=orvi-01")
        first = self.listener.wait("orvi-01", 5)
        self.get("/loaded?who=orvi-01")
        self.assertGreaterEqual(first, before)
        self.assertEqual(self.listener.wait("orvi-01", 5), first)
        # Probed once, right when the run arrived.
        self.assertEqual(self.listener.probed("orvi-01"), "taken")
        self.assertEqual(len(probes), 1)
        self.assertGreaterEqual(probes[0], first)


class ProcessTreeTest(unittest.TestCase):
    def spawn(self, script):
        proc = subprocess.Popen(["sh", "-c", script], start_new_session=True)
        self.addCleanup(lambda: proc.poll() is None and os.killpg(proc.pid, signal.SIGKILL))
        run.wait_until(lambda: len(run.process_tree(proc.pid)) == 3, "the children", 5)
        return proc

    def test_stops_the_whole_tree(self):
        cases = (
            ("children that leave on SIGTERM", "sleep 60 & sleep 60 & wait"),
            ("children that ignore SIGTERM", "trap '' TERM; sleep 60 & sleep 60 & wait"),
            ("a child in a session of its own", "setsid sleep 60 & sleep 60 & wait"),
        )
        for name, script in cases:
            with self.subTest(name):
                proc = self.spawn(script)
                tree = run.process_tree(proc.pid)
                run.stop_tree(proc, tree, grace=0.5)
                self.assertIsNotNone(proc.returncode)
                self.assertEqual([pid for pid in tree if run.alive(pid)], [])


@unittest.skipUnless(os.geteuid() == 0, "page frame numbers are shown to root only")
class FootprintTest(unittest.TestCase):
    def test_pages_shared_within_the_tree_count_once(self):
        size = 64 << 20
        shared = mmap.mmap(-1, size, flags=mmap.MAP_SHARED)
        shared.write(b"\1" * size)
        child = os.fork()
        if child == 0:
            time.sleep(60)
            os._exit(0)
        try:
            alone = run.tree_footprint_kib([os.getpid()])
            both = run.tree_footprint_kib([os.getpid(), child])
            self.assertGreaterEqual(alone, size // 1024)
            # The child adds its own few pages, not a second copy of the 64 MiB.
            self.assertLess(both - alone, size // 1024 // 4)
        finally:
            os.kill(child, signal.SIGKILL)
            os.waitpid(child, 0)
            shared.close()


if __name__ == "__main__":
    unittest.main()
