#!/usr/bin/python3
"""Idle for hours: whether the memory of orvi-desktop showing its own interface
stays flat while nobody is at the station (see README.md).

The program (the release build) shows the interface as shipped, expanded over
the work area of a private desktop of the end-to-end harness, the pointer out
of the way, for --duration seconds (two hours). Every --interval seconds (30)
the runner reads each process's private memory (Private_Clean + Private_Dirty
of /proc/PID/smaps_rollup: the program, its web and network processes, and the
sandbox's helpers) and the CPU time of the whole tree. It reports the slope of
private memory in MiB per hour after the first --warmup seconds (ten minutes),
per process and in all, by the Theil-Sen estimator (the median of the slopes
between every two samples, which a collection that frees and takes back a few
MiB does not move), and the tree's CPU as a share of one core: the largest of
the interval samples and the mean. With --bare, bench/bare-window runs the same
page on a desktop of its own at the same time, so that the engine's own drift
shows apart from the program's.
"""

import argparse, contextlib, itertools, math, os, shutil, statistics, sys, time

BENCH = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(BENCH, "..", "tests", "e2e"))
import harness  # noqa: E402
from run import cpu_ms, processes, tree  # noqa: E402

ROLES = ("program", "web", "network", "other")
NAMES = {"WebKitWebProces": "web", "WebKitNetworkPr": "network"}


def private_kib(pid):
    """(Private_Clean + Private_Dirty, Private_Dirty) in KiB; None once the process is gone."""
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            fields = {line.split(":")[0]: int(line.split()[1]) for line in f if line.endswith(" kB\n")}
    except OSError:
        return None
    return fields["Private_Clean"] + fields["Private_Dirty"], fields["Private_Dirty"]


def theil_sen(points):
    """The Theil-Sen slope of points (x, y) and its 95 % interval (Sen's, as if
    the samples were independent, which samples of one process's memory a
    few seconds apart are not: the interval is narrower than the truth)."""
    slopes = sorted((y2 - y1) / (x2 - x1) for (x1, y1), (x2, y2) in itertools.combinations(points, 2) if x2 != x1)
    if not slopes:
        return None
    n = len(points)
    half = 1.96 * math.sqrt(n * (n - 1) * (2 * n + 5) / 18) / 2  # ranks from the median to either bound
    low, high = max(0, int(len(slopes) / 2 - half)), min(len(slopes) - 1, int(len(slopes) / 2 + half))
    return statistics.median(slopes), slopes[low], slopes[high]


class Run:
    """One program on its own desktop, and its samples: (seconds since its page
    loaded, {role: (private, dirty) KiB}, CPU share of one core since the last sample)."""

    def __init__(self, name, argv, page, stack):
        self.name, self.samples = name, []
        self.desktop = stack.enter_context(harness.Desktop())
        marker = ('<script>addEventListener("load",function(){new Image().src='
                  f'"{self.desktop.link.page_url}loaded?{name}"}})</script>')
        install = harness.Install(page.replace("</head>", marker + "</head>"), within=self.desktop.dir)
        stack.callback(shutil.rmtree, install.parent, True)
        self.app = harness.App(self.desktop, install, None)
        self.argv = argv and argv + [f"{install.resources}/index.html"]

    def start(self):
        self.process = self.app.start(self.argv).process
        self.desktop.callback(self.process.stop)

    def wait_loaded(self, timeout):
        self.desktop.link.wait_for("loaded", timeout, lambda data: data == self.name)
        if self.argv is None:
            self.app.wait_window()
        self.desktop.xdo("mousemove", 1279, 799)  # out of the way, and not moving
        self.loaded = self.last = time.monotonic()
        self.cpu = {}

    def sample(self):
        if self.process.poll() is not None:
            raise SystemExit(f"{self.name}: exited ({self.process.returncode}):\n{self.process.log()[-4000:]}")
        now, ours = time.monotonic(), tree(self.process.pid, processes())
        memory, cpu = {role: [0, 0] for role in ROLES}, {pid: cpu_ms(pid, row) for pid, row in ours.items()}
        for pid, row in ours.items():
            if (kib := private_kib(pid)) is not None:
                role = "program" if pid == self.process.pid else NAMES.get(row[0], "other")
                memory[role] = [a + b for a, b in zip(memory[role], kib)]
        used = sum(ms - self.cpu.get(pid, 0) for pid, ms in cpu.items())
        share = 100 * used / ((now - self.last) * 1000) if self.cpu else None
        self.cpu, self.last = cpu, now
        self.samples.append((now - self.loaded, memory, share))
        return memory, share

    def expanded(self):
        """Whether the window is still as it was: the program's over the work area, above others."""
        return self.argv is not None or self.app.state() == harness.expanded()


def mib(kib):
    return kib / 1024


def report(run, warmup):
    after = [(t, memory) for t, memory, _ in run.samples if t >= warmup]
    if len(after) < 2:
        raise SystemExit(f"{run.name}: fewer than two samples after the warm-up; make --duration longer")
    print(f"\n{run.name}: private memory after the first {warmup:.0f} s, {len(after)} samples over "
          f"{(after[-1][0] - after[0][0]) / 3600:.2f} h\n           Theil-Sen MiB/h [95 % interval]  of dirty   "
          "first -> last MiB   min-max MiB")
    for role in ROLES + ("all",):
        kib = lambda m, column: sum(m[r][column] for r in ROLES) if role == "all" else m[role][column]
        (slope, low, high), (dirty, _, _) = (theil_sen([(t / 3600, mib(kib(m, column))) for t, m in after])
                                             for column in (0, 1))
        ys = [mib(kib(m, 0)) for _, m in after]
        print(f"  {role:8} {slope:+8.3f} [{low:+8.3f} {high:+8.3f}]   {dirty:+8.3f}   "
              f"{ys[0]:7.1f} -> {ys[-1]:7.1f}   {min(ys):7.1f}-{max(ys):7.1f}")
    shares = [(t, share) for t, _, share in run.samples if share is not None]
    rested = [share for t, share in shares if t >= 60]
    print(f"  CPU % of one core: mean {statistics.mean(s for _, s in shares):.1f}, largest {max(s for _, s in shares):.1f}"
          f" of {len(shares)} samples; from the first minute on: mean "
          + (f"{statistics.mean(rested):.1f}, largest {max(rested):.1f}" if rested else "n/a"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--duration", type=float, default=7200, help="seconds from the page's load event (7200)")
    parser.add_argument("--interval", type=float, default=30, help="seconds between samples (30)")
    parser.add_argument("--warmup", type=float, default=600, help="seconds left out of the slopes (600)")
    parser.add_argument("--bare", action="store_true", help="run bench/bare-window beside it, on a desktop of its own")
    parser.add_argument("--timeout", type=float, default=60, help="seconds a program may take to load (60)")
    parser.add_argument("--page", default=os.path.join(harness.RESOURCES, "index.html"))
    parser.add_argument("--orvi", default=os.path.join(BENCH, "..", "build", "release", "orvi-desktop"))
    parser.add_argument("--bare-window", default=os.path.join(BENCH, "bare-window"))
    args = parser.parse_args()
    for path in (args.orvi,) + ((args.bare_window,) if args.bare else ()):
        if not os.access(path, os.X_OK):
            raise SystemExit(f"{path}: not built (see bench/README.md)")
    harness.BINARY = os.path.abspath(args.orvi)
    with open(args.page, encoding="utf-8") as f:
        page = f.read()
    with contextlib.ExitStack() as stack:
        runs = [Run("orvi", None, page, stack)]
        if args.bare:
            runs.append(Run("bare", [os.path.abspath(args.bare_window)], page, stack))
        for run in runs:
            run.start()
        for run in runs:
            run.wait_loaded(args.timeout)
        print(f"{len(runs)} program(s) idle for {args.duration:.0f} s, sampled every {args.interval:.0f} s; "
              f"load average at start %.2f %.2f %.2f" % os.getloadavg())
        print("     s  " + "".join(f"{run.name:>5}: program     web network   other     all   CPU %  " for run in runs))
        start = time.monotonic()
        for number in itertools.count():
            cells = []
            for run in runs:
                memory, share = run.sample()
                cells.append(f"{run.name:>5}: " + "".join(f"{mib(memory[r][0]):8.1f}" for r in ROLES)
                             + f"{mib(sum(memory[r][0] for r in ROLES)):8.1f}"
                             + ("     n/a" if share is None else f"{share:8.1f}") + "  ")
            print(f"{time.monotonic() - start:6.0f}  " + "".join(cells), flush=True)
            if time.monotonic() - start >= args.duration:
                break
            time.sleep(max(0, start + (number + 1) * args.interval - time.monotonic()))
        wrong = [run.name for run in runs if not run.expanded()]
        if wrong:
            raise SystemExit(f"not as it was at the end: {wrong}")
        print("load average at end %.2f %.2f %.2f" % os.getloadavg())
    for run in runs:
        report(run, args.warmup)


if __name__ == "__main__":
    main()
