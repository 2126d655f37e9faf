#!/usr/bin/python3
"""Collapse and restore, driven by the page, over and over, with the page's
process killed now and then (run by hand; see README.md).

    bench/soak.py [CYCLES] [--recoveries N] [--orvi BINARY] ...

Each cycle the page posts "minimize", then "wake", and the runner checks that
the window ended as asked. --recoveries times (300), spread evenly through the
cycles, alternately while collapsed and while expanded, the runner kills the
page's web process and waits for the program to load the page again; the
window must stay as it was. Each recovery waits until the page has lived
--page-life seconds (31), so that the program reloads it at once, as after a
crash in a page that had been running a while, and not after the pause it
leaves a page that keeps dying.

Prints every wrong end state; the memory before the first cycle, after it
(the first collapse makes the bubble and pages in what draws it) and every
--every cycles (1,000): PSS of the program and its tree, private memory
(Private_Clean + Private_Dirty) of the program, its web process and the
tree; then the growth of private memory per 1,000 cycles after the first
--every cycles and the program's per recovery after the first
--warm-recoveries (10), both by the Theil-Sen estimator (the median of the
slopes between every two samples); the latency from the page's message to the
window's final geometry; and the memory once settled. Uses the end-to-end
harness: a private Xvfb with openbox, xcompmgr and the panel, and the test page;
with --wayland, the Wayland tests' headless sway, where the end states are read
from the screen (each look takes a screenshot, so there are no latencies).
"""

import argparse, os, select, shutil, signal, statistics, sys, time
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness
from harness import COLLAPSED, WORK_AREA, App, Desktop, Install, collapsed, expanded, poll
from hours import private_kib, theil_sen
from Xlib import X

BENCH = os.path.dirname(os.path.abspath(__file__))


def rollup_kib(pid, *fields):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        return sum(int(line.split()[1]) for line in f if line.split(":")[0] in fields)


def tree(pid):
    """The program's process and its descendants, with their names."""
    children, names = {}, {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                head, _, rest = f.read().rpartition(")")
            if rest.split()[0] != "Z":
                children.setdefault(int(rest.split()[1]), []).append(int(entry))
                names[int(entry)] = head.partition("(")[2]
        except OSError:
            pass
    found, todo = {}, [pid]
    while todo:
        found[todo[-1]] = names.get(todo[-1], "")
        todo += children.get(todo.pop(), [])
    return found


def memory(pid):
    """{measure: MiB}: PSS of the program and of its tree; private memory of the
    program, its web process and the tree (private memory, unlike PSS, does not
    move when other processes that share its libraries come or go)."""
    ours, sum_kib = tree(pid), lambda kibs: sum(k for k in kibs if k is not None) / 1024
    private = {p: (private_kib(p) or (None,))[0] for p in ours}
    values = {"PSS program": rollup_kib(pid, "Pss") / 1024, "PSS tree": 0, "program": private[pid] / 1024,
              "web": sum_kib(k for p, k in private.items() if ours[p] == "WebKitWebProces"),
              "tree": sum_kib(private.values())}
    for p in ours:
        try:
            values["PSS tree"] += rollup_kib(p, "Pss") / 1024
        except OSError:
            pass
    return values


def text(values):
    return (f"PSS program {values['PSS program']:.1f} MiB, tree {values['PSS tree']:.1f} MiB; private program "
            f"{values['program']:.1f} MiB, web {values['web']:.1f} MiB, tree {values['tree']:.1f} MiB")


def web_process(pid):
    return next((p for p, name in tree(pid).items() if name == "WebKitWebProces"), None)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cycles", type=int, nargs="?", default=10000, help="collapse/restore cycles (10000)")
    parser.add_argument("--recoveries", type=int, default=300, help="web processes killed, spread through (300)")
    parser.add_argument("--page-life", type=float, default=31,
                        help="seconds a page lives at least before its process is killed (31)")
    parser.add_argument("--every", type=int, default=1000, help="cycles between memory reports (1000)")
    parser.add_argument("--warm-recoveries", type=int, default=10,
                        help="recoveries left out of the memory per recovery (10)")
    parser.add_argument("--settle", type=float, default=10, help="seconds after the last cycle (10)")
    parser.add_argument("--wayland", action="store_true",
                        help="natively on a headless sway; the end states read from the screen (slower)")
    parser.add_argument("--orvi", default=os.path.join(BENCH, "..", "build", "release", "orvi-desktop"))
    args = parser.parse_args()
    if not os.access(args.orvi, os.X_OK):
        raise SystemExit(f"{args.orvi}: not built (see bench/README.md)")
    harness.BINARY = os.path.abspath(args.orvi)
    # Recovery number k comes in cycle k * cycles / (recoveries + 1); odd ones while collapsed.
    due = {round(k * args.cycles / (args.recoveries + 1)): k for k in range(1, args.recoveries + 1)}
    if len(due) < args.recoveries or 0 in due:
        raise SystemExit("more recoveries than cycles")
    if args.wayland:
        from sway import AREA, Sway, home
    with Sway() if args.wayland else Desktop(compositor=True) as desktop:
        install = Install(desktop.link.page, within=desktop.dir)
        app = App(desktop, install, None)
        if args.wayland:  # what a person sees, as the Wayland tests read it
            desktop.own(install.parent)
            app.env.update(XDG_RUNTIME_DIR=desktop.runtime,
                           WAYLAND_DISPLAY=os.path.basename(desktop.env["WAYLAND_DISPLAY"]))
            app.start(desktop.prefix + [install.binary])
            look, shown, hidden = desktop.seen, (AREA, None), (None, home(AREA))
        else:
            app.start().wait_window()
            look, shown, hidden = app.state, expanded(), collapsed()
            window = desktop.dpy.create_resource_object("window", app.window)
            window.change_attributes(event_mask=X.StructureNotifyMask)
            desktop.dpy.flush()
        desktop.link.wait_for("ready")
        desktop.callback(app.process.stop)
        desktop.callback(shutil.rmtree, install.parent, True)
        pid, start, page_since = app.process.pid, time.monotonic(), time.monotonic()

        def geometry_reached(frame, want, timeout=5):
            """Wall-clock milliseconds at which the window reached frame (on Wayland, when the screen showed it),
            or None."""
            if args.wayland:
                return time.time() * 1000 if poll(look, lambda s: s == want, timeout) == want else None
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if desktop.geometry(app.window) == frame:
                    return time.time() * 1000
                while desktop.dpy.pending_events():
                    desktop.dpy.next_event()
                select.select([desktop.dpy], [], [], 0.05)
            return None

        def recover(want):
            """Kills the page's process; True once the page is back and the window as it was."""
            nonlocal page_since
            readies = len(desktop.link.of("ready"))
            os.kill(web_process(pid), signal.SIGKILL)
            desktop.link.wait_for("ready", timeout=90, count=readies + 1)  # after at most a minute's pause
            page_since = time.monotonic()
            return poll(look, lambda s: s == want, 2) == want

        latencies, wrong, recovered, at_cycle, at_recovery = {"collapse": [], "restore": []}, 0, 0, [], []
        print(f"start: {text(memory(pid))}", flush=True)
        for cycle in range(1, args.cycles + 1):
            if cycle in due:  # the program's memory after the recoveries so far, expanded, the page a while alive
                time.sleep(max(0, page_since + args.page_life - time.monotonic()))
                at_recovery.append((due[cycle] - 1, memory(pid)["program"]))
            for kind, message, frame, want in [("collapse", "minimize", COLLAPSED, hidden),
                                               ("restore", "wake", WORK_AREA, shown)]:
                sent = len(desktop.link.of("sent"))
                desktop.link.send(f"var t = performance.timeOrigin + performance.now(); "
                                  f"post({{type: '{message}'}}); report('sent', t)")
                reached = geometry_reached(frame, want)
                posted = desktop.link.wait_for("sent", count=sent + 1)
                if reached is None or poll(look, lambda s: s == want, 2) != want:
                    wrong += 1
                    print(f"cycle {cycle} {kind}: ended {look()}", flush=True)
                    desktop.link.post({"type": "wake"})
                    poll(look, lambda s: s == shown, 5)
                    break
                latencies[kind].append(reached - posted)
                if cycle in due and (kind == "collapse") == (due[cycle] % 2 == 1):
                    if not recover(want):
                        wrong += 1
                        print(f"recovery {due[cycle]} in cycle {cycle} ({kind}): ended {look()}", flush=True)
                        desktop.link.post({"type": "wake"})
                        poll(look, lambda s: s == shown, 5)
                        break
                    recovered += 1
            if cycle in (1, args.cycles) or cycle % args.every == 0:
                values = memory(pid)
                if cycle >= args.every:
                    at_cycle.append((cycle, values))
                print(f"{cycle} cycles, {time.monotonic() - start:.0f} s, {recovered} recoveries: "
                      f"wrong end states {wrong}; {text(values)}", flush=True)
            if cycle % 200 == 0:
                desktop.link.clear()
        for kind, values in latencies.items() if not args.wayland else ():  # there the screenshots take longer
            values.sort()
            print(f"{kind}: median {statistics.median(values):.1f} ms, "
                  f"p95 {values[int(0.95 * (len(values) - 1))]:.1f} ms over {len(values)}")
        print(f"private memory per 1,000 cycles after the first {args.every} "
              f"(Theil-Sen over {len(at_cycle)} reports [95 % interval]):")
        for measure in ("program", "web", "tree"):
            points = [(n / 1000, v[measure]) for n, v in at_cycle]
            slope, low, high = theil_sen(points) or (None,) * 3
            if slope is None:
                raise SystemExit("too few memory reports; make --every smaller")
            print(f"  {measure:8} {slope:+.3f} MiB [{low:+.3f} {high:+.3f}]; "
                  f"{points[0][1]:.1f} -> {points[-1][1]:.1f} MiB")
        time.sleep(max(args.settle, page_since + args.page_life - time.monotonic()))
        settled = memory(pid)
        at_recovery.append((recovered, settled["program"]))
        warm = [(k, mib) for k, mib in at_recovery if k >= args.warm_recoveries]
        if len(warm) >= 2:
            slope, low, high = theil_sen(warm)
            print(f"program's private memory per recovery after the first {args.warm_recoveries} (Theil-Sen over "
                  f"{len(warm)}): {slope:+.4f} MiB [{low:+.4f} {high:+.4f}]; {warm[0][1]:.1f} -> {warm[-1][1]:.1f} MiB")
        elif args.recoveries:
            raise SystemExit("too few recoveries after the first ones; set more --recoveries")
        print(f"settled: {text(settled)}; wrong end states {wrong}, recoveries {recovered} of {args.recoveries}")


if __name__ == "__main__":
    main()
