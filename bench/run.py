#!/usr/bin/python3
"""Start-up benchmark: orvi-desktop against bare-window, the least a GTK 3 +
WebKitGTK program needs to show the same page the same way (see README.md).

Interleaved rounds of one run of each program (which goes first alternates),
every run with a fresh install, home and session bus, all on one private
desktop of the end-to-end harness. Per run: ms to the page's load event, CPU
ms of the process tree by then, and its memory once settled. The summary gives
the median of the per-round ratios orvi-desktop / bare-window.
"""

import argparse, array, contextlib, ctypes, os, random, shutil, signal, statistics, sys, time

BENCH = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(BENCH, "..", "tests", "e2e"))
import harness  # noqa: E402

TICK, PAGE, FRAME = os.sysconf("SC_CLK_TCK"), os.sysconf("SC_PAGE_SIZE"), (1 << 55) - 1
WEBKIT = ("WebKitWebProces", "WebKitNetworkPr", "WebKitGPUProces")
LIBC = ctypes.CDLL(None, use_errno=True)
MEASURES = ("load ms", "CPU ms", "PSS MiB", "tree MiB", "dirty MiB")
PROGRAMS = ("orvi", "bare")  # names of the same length, so both pages have the same size


def processes():
    """{pid: (name, state, ppid, user+system CPU ms)} of every process."""
    table = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as f:
            head, _, rest = f.read().rpartition(")")
            fields = rest.split()
            table[int(pid)] = (head.partition("(")[2], fields[0], int(fields[1]),
                               (int(fields[11]) + int(fields[12])) * 1000 / TICK)
    return table


def cpu_ms(pid, row):
    """The CPU time a process has used, its ended threads' included, from its
    CPU clock: to the nanosecond, where /proc/PID/stat counts 10 ms ticks
    (about 2 % of a start-up). The row's ticks if the clock cannot be read."""
    clock = ctypes.c_int()
    if LIBC.clock_getcpuclockid(pid, ctypes.byref(clock)) == 0:
        with contextlib.suppress(OSError):
            return time.clock_gettime_ns(clock.value) / 1e6
    return row[3]


def tree(root, table):
    """The living processes of root's tree: {pid: row of processes()}."""
    found, todo = {}, [root]
    while todo:
        pid = todo.pop()
        if pid in table and table[pid][1] != "Z":
            found[pid] = table[pid]
            todo += [child for child, row in table.items() if row[2] == pid]
    return found


def resident_frames(pid):
    """The physical page frames of a process's resident pages (all 0 unless root)."""
    frames = set()
    with open(f"/proc/{pid}/smaps") as smaps, open(f"/proc/{pid}/pagemap", "rb") as pagemap:
        for line in smaps:
            key, value = (line.split() + [""])[:2]
            if not key.endswith(":"):
                start, end = (int(address, 16) for address in key.split("-"))
            elif key == "Rss:" and value != "0":
                pagemap.seek(start // PAGE * 8)
                entries = array.array("Q", pagemap.read((end - start) // PAGE * 8))
                frames.update(entry & FRAME for entry in entries if entry >> 63)
    return frames


def memory_kib(pids):
    """PSS, tree footprint (each physical page mapped by the tree counted once:
    what the PSS would be if nothing outside the tree shared a page with it;
    None when page frames are hidden) and private dirty memory."""
    pss, dirty, frames = 0, 0, set()
    for pid in pids:
        with contextlib.suppress(OSError):
            with open(f"/proc/{pid}/smaps_rollup") as f:
                rollup = dict(line.split()[:2] for line in f if line.endswith(" kB\n"))
            pss, dirty = pss + int(rollup["Pss:"]), dirty + int(rollup["Private_Dirty:"])
            frames |= resident_frames(pid)
    return pss, (len(frames) * PAGE // 1024 if frames and 0 not in frames else None), dirty


class Bench:
    def __init__(self, desktop, args):
        self.desktop, self.args, self.loads, self.current = desktop, args, {}, (None, None)
        with open(os.path.join(harness.RESOURCES, "index.html"), encoding="utf-8") as f:
            self.page = f.read()
        if self.page.count("</head>") != 1:
            raise SystemExit("index.html: expected exactly one </head>")
        answer = desktop.link.answer
        def timed(kind, query):
            # Notes the load event as it arrives, with the CPU time the tree has used by then.
            who, pid = self.current
            if kind == "loaded" and query == who and who not in self.loads:
                self.loads[who] = time.monotonic(), sum(cpu_ms(p, row) for p, row in tree(pid, processes()).items())
            return answer(kind, query)
        desktop.link.answer = timed

    def run(self, program, who):
        marker = ('<script>addEventListener("load",function(){new Image().src='
                  f'"{self.desktop.link.page_url}loaded?{who}"}})</script>')
        install, proc = harness.Install(self.page.replace("</head>", marker + "</head>"),
                                       within=self.desktop.dir), None
        address, bus = self.desktop.x("dbus-daemon", f"--config-file={harness.HERE}/session-bus.conf", "--fork",
                                      "--print-address=1", "--print-pid=1").split()
        try:
            # No system bus: nothing reaches the machine's logind, for either program.
            app = harness.App(self.desktop, install, dict(DBUS_SESSION_BUS_ADDRESS=address,
                                                          DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={install.root}/none"))
            page = f"{install.resources}/index.html"
            if self.args.sandbox_cost:  # the bare window with its sandbox against without
                argv = [self.args.bare, page] + (["--no-sandbox"] if program == "bare" else [])
            else:
                argv = None if program == "orvi" else [self.args.bare, page]
            started = time.monotonic()
            proc = app.start(argv).process
            self.current = who, proc.pid
            harness.poll(lambda: who in self.loads or proc.poll() is not None, timeout=self.args.timeout)
            if who not in self.loads:
                raise SystemExit(f"{who}: no load event (exit status {proc.poll()}):\n{proc.log()[-4000:]}")
            time.sleep(self.args.settle)
            if proc.poll() is not None:
                raise SystemExit(f"{who}: exited while settling ({proc.returncode}):\n{proc.log()[-4000:]}")
            ours = tree(proc.pid, table := processes())
            windows = [self.desktop.geometry(w) for w in self.desktop.managed(None, proc.pid)
                       if self.desktop.viewable(w)]
            loaded, cpu = self.loads[who]
            pss, footprint, dirty = memory_kib(ours)
            # PSS shares each page among all processes mapping it, so someone
            # else's WebKit processes running meanwhile lower it; they are counted.
            others = sum(1 for pid, row in table.items() if row[0] in WEBKIT and row[1] != "Z" and pid not in ours)
            proc.stop()
            # The next run starts once every process of this one is gone.
            harness.wait(lambda: not any(p in ours and r[1] != "Z" for p, r in processes().items()),
                         10, f"the end of every process of {who}")
        finally:
            if proc:
                proc.stop()
            os.kill(int(bus), signal.SIGTERM)
            shutil.rmtree(install.parent, True)
        mib = lambda kib: kib and kib / 1024
        return ((loaded - started) * 1000, cpu, mib(pss), mib(footprint), mib(dirty)), others, windows


def spread(values, digits):
    return f"{statistics.median(values):.{digits}f} ({min(values):.{digits}f}-{max(values):.{digits}f})"


def median_interval(values, draws=10000):
    """The 95 % bootstrap interval of the median: where the median ratio of
    another run of as many rounds could as well have landed."""
    pick = random.Random(1)
    medians = sorted(statistics.median(pick.choices(values, k=len(values))) for _ in range(draws))
    return medians[int(draws * 0.025)], medians[int(draws * 0.975)]


def summarize(rounds):
    print("\nmedians over the rounds (min-max) of each program's value and of the per-round ratios orvi/bare,"
          "\nwith the 95 % bootstrap interval of the median ratio")
    for i, measure in enumerate(MEASURES):
        if any(v[i] is None for runs in rounds for p in PROGRAMS for v in runs[p]):
            print(f"{measure:10} n/a")
            continue
        # A program's value in a round is the median of its runs in that round.
        per_round = [{p: statistics.median(v[i] for v in runs[p]) for p in PROGRAMS} for runs in rounds]
        print(f"{measure:10} " + "".join(f"{p} {spread([v[p] for v in per_round], 1):26}" for p in PROGRAMS)
              + "ratio " + spread(ratios := [v["orvi"] / v["bare"] for v in per_round], 3)
              + "  [%.3f-%.3f]" % median_interval(ratios))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=8, help="interleaved rounds (8)")
    parser.add_argument("--repeat", type=int, default=1,
                        help="runs of each program per round; the round takes their median (1)")
    parser.add_argument("--settle", type=float, default=5.0, help="seconds from the load event to reading memory (5)")
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds a run may take to load (60)")
    parser.add_argument("--orvi", default=os.path.join(BENCH, "..", "build", "release", "orvi-desktop"))
    parser.add_argument("--bare", default=os.path.join(BENCH, "bare-window"))
    parser.add_argument("--sandbox-cost", action="store_true",
                        help="compare the bare window with its sandbox (as orvi) against it without (as bare)")
    args = parser.parse_args()
    for path in (args.orvi, args.bare):
        if not os.access(path, os.X_OK):
            raise SystemExit(f"{path}: not built (see bench/README.md)")
    harness.BINARY, args.bare = os.path.abspath(args.orvi), os.path.abspath(args.bare)
    with harness.Desktop() as desktop:
        bench, rounds = Bench(desktop, args), []
        print(f"display {desktop.env['DISPLAY']}, {args.rounds} rounds of {args.repeat} run(s) of each program, "
              f"settle {args.settle} s, load average at start %.2f %.2f %.2f" % os.getloadavg())
        print("round  run      " + "".join(f"{m:>10}" for m in MEASURES) + "  others  windows")
        for number in range(1, args.rounds + 1):
            rounds.append({p: [] for p in PROGRAMS})
            for program in PROGRAMS[::1 if number % 2 else -1]:
                for repeat in range(args.repeat):
                    who = f"{program}-{number:02d}-{repeat}"
                    values, others, windows = bench.run(program, who)
                    cells = "".join("%10s" % "n/a" if v is None else "%10.1f" % v for v in values)
                    shown = " ".join("%d,%d %dx%d" % w for w in windows)
                    print(f"{number:>5}  {who:9}{cells}{others:8}  {shown}", flush=True)
                    rounds[-1][program].append(values)
        print("load average at end %.2f %.2f %.2f" % os.getloadavg())
    summarize(rounds)


if __name__ == "__main__":
    main()
