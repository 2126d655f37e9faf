#!/usr/bin/python3
"""Collapse and restore, driven by the page, over and over (run by hand).

    bench/soak.py [CYCLES] [BINARY]

Each cycle the page posts "minimize", then "wake", and the runner checks that
the window ended as asked. Prints every wrong end state; the memory of the
program and of its whole process tree before the first cycle, after it (the
first collapse makes the bubble and pages in what draws it) and every 1,000
cycles; the latency from the page's message to the window's final geometry;
and the memory once settled. Uses the end-to-end harness: a private Xvfb with
openbox, xcompmgr and the panel.
"""

import os, select, statistics, sys, time
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness
from harness import COLLAPSED, WORK_AREA, App, Desktop, Install, collapsed, expanded, poll
from Xlib import X


def rollup_kib(pid, *fields):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        return sum(int(line.split()[1]) for line in f if line.split(":")[0] in fields)


def pss_kib(pid):
    return rollup_kib(pid, "Pss")


def tree(pid):
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                children.setdefault(int(f.read().rsplit(")", 1)[1].split()[1]), []).append(int(entry))
        except OSError:
            pass
    found, todo = [], [pid]
    while todo:
        found.append(todo.pop())
        todo += children.get(found[-1], [])
    return found


def memory(pid):
    """The PSS of the program and of its whole tree, and the program's private
    memory (which, unlike PSS, does not move when other processes that share
    its libraries come or go), as text."""
    total = sum(pss_kib(p) for p in tree(pid) if os.path.exists(f"/proc/{p}"))
    return (f"PSS program {pss_kib(pid) / 1024:.1f} MiB, tree {total / 1024:.1f} MiB; "
            f"private program {rollup_kib(pid, 'Private_Clean', 'Private_Dirty') / 1024:.1f} MiB")


def main():
    cycles = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    if len(sys.argv) > 2:
        harness.BINARY = sys.argv[2]
    with Desktop(compositor=True) as desktop:
        install = Install(desktop.link.page)
        app = App(desktop, install, None)
        app.start().wait_window()
        desktop.link.wait_for("ready")
        window = desktop.dpy.create_resource_object("window", app.window)
        window.change_attributes(event_mask=X.StructureNotifyMask)
        desktop.dpy.flush()
        pid, start = app.process.pid, time.monotonic()

        def geometry_reached(frame, timeout=5):
            """Wall-clock milliseconds at which the window reached frame, or None."""
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if desktop.geometry(app.window) == frame:
                    return time.time() * 1000
                while desktop.dpy.pending_events():
                    desktop.dpy.next_event()
                select.select([desktop.dpy], [], [], 0.05)
            return None

        latencies, wrong = {"collapse": [], "restore": []}, 0
        print(f"start: {memory(pid)}", flush=True)
        for cycle in range(1, cycles + 1):
            for kind, message, frame, want in [("collapse", "minimize", COLLAPSED, collapsed()),
                                               ("restore", "wake", WORK_AREA, expanded())]:
                sent = len(desktop.link.of("sent"))
                desktop.link.send(f"var t = performance.timeOrigin + performance.now(); "
                                  f"post({{type: '{message}'}}); report('sent', t)")
                reached = geometry_reached(frame)
                posted = desktop.link.wait_for("sent", count=sent + 1)
                if reached is None or poll(app.state, lambda s: s == want, 2) != want:
                    wrong += 1
                    print(f"cycle {cycle} {kind}: ended {app.state()}", flush=True)
                    desktop.link.post({"type": "wake"})
                    poll(app.state, lambda s: s == expanded(), 5)
                else:
                    latencies[kind].append(reached - posted)
            if cycle in (1, cycles) or cycle % 1000 == 0:
                print(f"{cycle} cycles, {time.monotonic() - start:.0f} s: wrong end states {wrong}; {memory(pid)}",
                      flush=True)
            if cycle % 200 == 0:
                desktop.link.clear()
        for kind, values in latencies.items():
            values.sort()
            print(f"{kind}: median {statistics.median(values):.1f} ms, "
                  f"p95 {values[int(0.95 * (len(values) - 1))]:.1f} ms over {len(values)}")
        time.sleep(10)
        print(f"settled: {memory(pid)}; wrong end states {wrong}")
        app.process.stop()


if __name__ == "__main__":
    main()
