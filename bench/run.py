#!/usr/bin/python3
"""Start-up benchmark: orvi-desktop against a bare GTK + WebKitGTK window.

Both programs load the same benchmark copy of the interface page, whose only
change is a script that, on the window's load event, requests
http://127.0.0.1:PORT/loaded?who=RUN from a listener in this runner. A run's
start-up time is from just before the program is started to the listener
receiving that request; the CPU time the process tree had used by then is
read at that moment. After a settling time the PSS of the program's whole
process tree (the program and every descendant: WebKitWebProcess,
WebKitNetworkProcess, ...) is summed from /proc/PID/smaps_rollup, together
with the tree's distinct resident pages and its private dirty memory, then
the tree is stopped.

Everything runs under one private Xvfb (1280x800x24) with openbox. Every run
gets a fresh HOME and XDG folders and a fresh session bus without service
activation, so no run sees what an earlier one left behind, and no earlier
orvi-desktop instance is there to take over.

Two comparisons, each as interleaved pairs (which goes first alternates):
  main   orvi-desktop against bare-window (same hardware-acceleration choice)
  accel  bare-window with WebKit's default policy against NEVER

Standard library only. See README.md beside this file.
"""

import argparse
import array
import ctypes
import http.server
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(BENCH)
BUNDLE_NAME = "OrviDesktop_OrviDesktop.bundle"
SCREEN = "1280x800x24"

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
"""

# Every run name has the same length, so the page text differs between runs
# only in which characters it carries, never in its size.
KIND_NAMES = {"orvi": "orvi", "bare": "bare", "default": "dflt", "never": "nevr"}


def load_marker(port, who):
    return ('<script>addEventListener("load",function(){new Image().src='
            '"http://127.0.0.1:%d/loaded?who=%s"})</script>\n' % (port, who))


def benchmark_page(original, port, who):
    """The page with the load marker added just before </head>."""
    if original.count("</head>") != 1:
        raise SystemExit("index.html: expected exactly one </head>")
    return original.replace("</head>", load_marker(port, who) + "</head>")


# ---- the load-event listener ------------------------------------------------

class Listener:
    def __init__(self):
        self.lock = threading.Lock()
        self.arrived = {}
        self.events = {}
        self.probes = {}
        self.results = {}
        listener = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                now = time.monotonic()
                url = urllib.parse.urlsplit(self.path)
                if url.path == "/loaded":
                    who = urllib.parse.parse_qs(url.query).get("who", [""])[0]
                    listener.record(who, now)
                self.send_response(204)
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def expect(self, who, probe=None):
        """Awaits the run named who; probe, if given, is called the moment it
        arrives and its result kept for probed()."""
        with self.lock:
            self.events[who] = threading.Event()
            self.probes[who] = probe

    def record(self, who, when):
        with self.lock:
            if who not in self.events or who in self.arrived:
                return
            self.arrived[who] = when
            probe = self.probes[who]
            self.results[who] = probe() if probe else None
            self.events[who].set()

    def probed(self, who):
        return self.results.get(who)

    def wait(self, who, timeout):
        if self.events[who].wait(timeout):
            return self.arrived[who]
        return None

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# ---- processes ----------------------------------------------------------------

def become_subreaper():
    # Orphaned descendants come back to this runner, so it can reap them and be
    # sure they are gone before the next run starts.
    PR_SET_CHILD_SUBREAPER = 36
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def read_stat(pid):
    """(state, ppid, name) of a process, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            text = f.read()
    except OSError:
        return None
    head, _, rest = text.rpartition(")")
    fields = rest.split()
    return fields[0], int(fields[1]), head.partition("(")[2]


CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_ms(pid):
    """User and system CPU time a process has used so far, in ms (to the
    kernel's clock tick, 10 ms)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rpartition(")")[2].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) * 1000.0 / CLOCK_TICKS


def tree_cpu_ms(root):
    """{role: CPU ms} of the processes of a tree."""
    usage = {}
    for pid, name in process_tree(root).items():
        usage[role(name)] = usage.get(role(name), 0.0) + cpu_ms(pid)
    return usage


def process_table():
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            stat = read_stat(int(entry))
            if stat:
                table[int(entry)] = stat
    return table


def process_tree(root):
    """{pid: name} of root and all its living descendants."""
    table = process_table()
    children = {}
    for pid, (_, ppid, _) in table.items():
        children.setdefault(ppid, []).append(pid)
    tree, todo = {}, [root]
    while todo:
        pid = todo.pop()
        if pid in table and table[pid][0] != "Z":
            tree[pid] = table[pid][2]
        todo.extend(children.get(pid, []))
    return tree


MEMORY_FIELDS = ("Pss", "Private_Dirty")


def memory_kib(pid):
    """{field: kiB} of MEMORY_FIELDS from a process's smaps_rollup."""
    usage = dict.fromkeys(MEMORY_FIELDS, 0)
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                field, _, value = line.partition(":")
                if field in usage:
                    usage[field] = int(value.split()[0])
    except OSError:
        pass
    return usage


PAGE_SIZE = os.sysconf("SC_PAGE_SIZE")
PFN_MASK = (1 << 55) - 1


def resident_ranges(pid):
    """(start, end) of the mappings of a process that have resident pages."""
    ranges, current = [], None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            first = line.split(None, 1)[0]
            if not first.endswith(":"):
                start, _, end = first.partition("-")
                current = (int(start, 16), int(end, 16))
            elif first == "Rss:" and int(line.split()[1]) > 0:
                ranges.append(current)
    return ranges


def tree_footprint_kib(pids):
    """The physical pages mapped by any process of the tree, each counted
    once: what the PSS sum would be if no process outside the tree shared a
    page with it. None where the kernel hides page frame numbers."""
    pages = set()
    for pid in pids:
        try:
            ranges = resident_ranges(pid)
            with open("/proc/%d/pagemap" % pid, "rb") as f:
                for start, end in ranges:
                    f.seek(start // PAGE_SIZE * 8)
                    entries = array.array("Q", f.read((end - start) // PAGE_SIZE * 8))
                    pages.update(e & PFN_MASK for e in entries if e >> 63)
        except OSError:
            pass
    if 0 in pages:
        return None
    return len(pages) * PAGE_SIZE // 1024


# PSS splits each shared page among all processes mapping it, so WebKit
# processes of someone else's running at the same moment lower our PSS. Each
# run counts them, so such noise shows.
WEB_PROCESS_NAMES = ("WebKitWebProces", "WebKitNetworkPr", "WebKitGPUProces")


def foreign_web_processes(ours):
    return sum(1 for pid, (state, _, name) in process_table().items()
               if name in WEB_PROCESS_NAMES and pid not in ours and state != "Z")


def reap(pid):
    try:
        os.waitpid(pid, os.WNOHANG)
    except ChildProcessError:
        pass


def alive(pid):
    stat = read_stat(pid)
    if stat and stat[0] == "Z":
        reap(pid)
        stat = read_stat(pid)
    return stat is not None and stat[0] != "Z"


def signal_all(pids, sig):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass


def stop_tree(proc, known, grace=5.0):
    """Stops proc's process group and every process of its tree (known holds
    pids seen earlier), killing what is left after grace seconds, and waits
    until all of them are gone."""
    pids = set(known) | set(process_tree(proc.pid))
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        signal_all(pids, sig)
        deadline = time.monotonic() + grace
        while time.monotonic() < deadline:
            proc.poll()
            pids |= set(process_tree(proc.pid))
            if proc.returncode is not None and not any(alive(p) for p in pids):
                return
            time.sleep(0.05)
    raise SystemExit("could not stop process tree of %d: %s"
                     % (proc.pid, sorted(p for p in pids if alive(p))))


def display_in_use(number):
    if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
        return True
    # Servers in another mount namespace show only their abstract socket.
    with open("/proc/net/unix") as f:
        return any(line.rstrip().endswith("@/tmp/.X11-unix/X%d" % number) for line in f)


class Display:
    """A private Xvfb with openbox, up until close()."""

    def __init__(self, home):
        os.makedirs(home, exist_ok=True)
        self.xvfb = self.openbox = None
        try:
            self.start(home)
        except BaseException:
            self.close()
            raise

    def start(self, home):
        # A number of our own, well away from the low numbers that other
        # users of this machine's X servers pick; Xvfb refuses one in use.
        for number in range(140 + os.getpid() % 50, 240):
            if display_in_use(number):
                continue
            self.name = ":%d" % number
            # -noreset: otherwise the server resets when xdpyinfo, its first
            # client, leaves, and refuses openbox if it connects just then.
            self.xvfb = subprocess.Popen(
                ["Xvfb", self.name, "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            env = dict(base_environment(), DISPLAY=self.name, HOME=home)
            wait_until(lambda: self.xvfb.poll() is not None or subprocess.run(
                ["xdpyinfo"], env=env, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL).returncode == 0, "Xvfb on " + self.name)
            if self.xvfb.poll() is None:
                break
        else:
            raise SystemExit("no free X display number")
        self.openbox = subprocess.Popen(
            ["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        wait_until(lambda: self.openbox.poll() is not None
                   or ready_window_manager(env) == "Openbox", "openbox", 60.0)
        if self.openbox.poll() is not None:
            raise SystemExit("openbox did not start on " + self.name)

    def close(self):
        for proc in (self.openbox, self.xvfb):
            if proc is None:
                continue
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()


def ready_window_manager(env):
    """The window manager's name once it takes windows; None before."""
    def prop(args):
        result = subprocess.run(["xprop"] + args, env=env, capture_output=True, text=True)
        return result.stdout if result.returncode == 0 else ""
    check = prop(["-root", "_NET_SUPPORTING_WM_CHECK"])
    if "window id" not in check:
        return None
    window = check.split()[-1]
    # Openbox names itself before it loads its theme and fonts, and takes no
    # window mapped meanwhile; it publishes the work area once it is done.
    if "=" not in prop(["-root", "_NET_WORKAREA"]):
        return None
    name = prop(["-id", window, "_NET_WM_NAME"])
    return name.partition("=")[2].strip().strip('"') or None


def wait_until(condition, what, timeout=20.0):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise SystemExit("timed out waiting for " + what)
        time.sleep(0.1)


def base_environment():
    # A clean environment: nothing of the caller's (proxies, GDK_*, WEBKIT_*,
    # a real session bus) reaches the programs.
    return {"PATH": "/usr/local/bin:/usr/bin:/bin", "LANG": "C.UTF-8"}


def start_session_bus(config):
    out = subprocess.run(["dbus-daemon", "--config-file=" + config, "--fork",
                          "--print-address=1", "--print-pid=1"],
                         capture_output=True, text=True, check=True).stdout.split()
    return out[0], int(out[1])


def stop_pid(pid):
    signal_all([pid], signal.SIGTERM)
    deadline = time.monotonic() + 5
    while alive(pid) and time.monotonic() < deadline:
        time.sleep(0.02)
    if alive(pid):
        signal_all([pid], signal.SIGKILL)
        wait_until(lambda: not alive(pid), "process %d to end" % pid)


# ---- one run ------------------------------------------------------------------

class Bench:
    def __init__(self, args, workdir):
        self.args = args
        self.workdir = workdir
        self.listener = Listener()
        self.display = Display(os.path.join(workdir, "wm-home"))
        self.bus_config = os.path.join(workdir, "bus.conf")
        with open(self.bus_config, "w") as f:
            f.write(BUS_CONFIG)

        # <workdir>/bin/orvi-desktop with its bundle beside it, where the
        # program looks first; bare-window is pointed at the same page.
        bindir = os.path.join(workdir, "bin")
        os.makedirs(bindir)
        self.orvi = os.path.join(bindir, "orvi-desktop")
        shutil.copy2(args.orvi, self.orvi)
        resources = os.path.join(bindir, BUNDLE_NAME, "Resources")
        shutil.copytree(args.resources, resources)
        self.page = os.path.join(resources, "index.html")
        with open(self.page, encoding="utf-8") as f:
            self.original_page = f.read()

    def close(self):
        self.listener.close()
        self.display.close()

    def command(self, kind):
        if kind == "orvi":
            return [self.orvi]
        accel = {"bare": "auto", "default": "default", "never": "never"}[kind]
        return [self.args.bare, "--accel=" + accel, self.page]

    def run(self, kind, number):
        who = "%s-%02d" % (KIND_NAMES[kind], number)
        with open(self.page, "w", encoding="utf-8") as f:
            f.write(benchmark_page(self.original_page, self.listener.port, who))

        home = tempfile.mkdtemp(prefix="home-", dir=self.workdir)
        runtime = os.path.join(home, "runtime")
        os.mkdir(runtime, 0o700)
        bus_address, bus_pid = start_session_bus(self.bus_config)
        env = dict(base_environment(),
                   DISPLAY=self.display.name,
                   HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_STATE_HOME=os.path.join(home, ".local", "state"),
                   XDG_RUNTIME_DIR=runtime,
                   DBUS_SESSION_BUS_ADDRESS=bus_address,
                   # No system bus: a run must not reach the machine's real
                   # logind, and both programs see the same absence.
                   DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-system-bus"))
        log = open(os.path.join(home, "output.log"), "wb")
        try:
            pid = []
            self.listener.expect(who, lambda: tree_cpu_ms(pid[0]) if pid else None)
            started = time.monotonic()
            proc = subprocess.Popen(self.command(kind), env=env, cwd=home, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            pid.append(proc.pid)
            loaded = None
            deadline = started + self.args.timeout
            while loaded is None and time.monotonic() < deadline and proc.poll() is None:
                loaded = self.listener.wait(who, 0.05)
            tree = {}
            if loaded is not None:
                time.sleep(self.args.settle)
                tree = process_tree(proc.pid)
                usage = {pid: (name, memory_kib(pid)) for pid, name in tree.items()}
                foreign = foreign_web_processes(tree)
                footprint = tree_footprint_kib(tree)
            stop_tree(proc, tree)
        finally:
            log.close()
            stop_pid(bus_pid)
        if loaded is None:
            with open(os.path.join(home, "output.log"), errors="replace") as f:
                sys.stderr.write(f.read()[-4000:])
            raise SystemExit("%s: no load event within %.0f s (exit status %s)"
                             % (who, self.args.timeout, proc.returncode))
        if not self.args.keep:
            shutil.rmtree(home)
        cpu = self.listener.probed(who) or {}
        return {
            "kind": kind,
            "who": who,
            "load_ms": (loaded - started) * 1000.0,
            "cpu_ms": sum(cpu.values()),
            "cpu_by_process": sorted(cpu.items(), key=lambda item: -item[1]),
            "pss_kib": sum(u["Pss"] for _, u in usage.values()),
            "tree_kib": footprint,
            "dirty_kib": sum(u["Private_Dirty"] for _, u in usage.values()),
            "foreign": foreign,
            "processes": sorted(((role(name), u["Pss"]) for name, u in usage.values()),
                                key=lambda item: -item[1]),
        }


def role(name):
    return "program" if name in ("orvi-desktop", "bare-window") else name


# ---- reporting ----------------------------------------------------------------

def mib(kib):
    return None if kib is None else kib / 1024.0


def cell(value):
    return "%10s" % "n/a" if value is None else "%10.1f" % value


# (key, heading, unit conversion)
MEASURES = (
    ("load_ms", "load ms", lambda v: v),
    ("cpu_ms", "CPU ms", lambda v: v),
    ("pss_kib", "PSS MiB", mib),
    ("tree_kib", "tree MiB", mib),
    ("dirty_kib", "dirty MiB", mib),
)


def run_pairs(bench, first, second, pairs, label):
    results = {first: [], second: []}
    print("\n== %s: %s vs %s, %d interleaved pairs ==" % (label, first, second, pairs), flush=True)
    print("%-4s %-8s" % ("pair", "run") + "".join("%10s" % m[1] for m in MEASURES)
          + "%8s  %s" % ("others", "PSS MiB by process"))
    for number in range(bench.args.warmup + pairs):
        warm = number < bench.args.warmup
        order = (first, second) if number % 2 == 0 else (second, first)
        for kind in order:
            result = bench.run(kind, number)
            shown = " ".join("%s=%.1f" % (name, mib(p)) for name, p in result["processes"])
            print("%-4s %-8s" % ("w" if warm else number - bench.args.warmup + 1, result["who"])
                  + "".join(cell(convert(result[key])) for key, _, convert in MEASURES)
                  + "%8d  %s" % (result["foreign"], shown), flush=True)
            if not warm:
                results[kind].append(result)
    return results


def summarize(results, numerator, denominator, label):
    def values(kind, key, convert):
        return [convert(r[key]) for r in results[kind] if r[key] is not None]

    print("\n-- %s: medians over %d runs each (min-max); ratio of the medians,"
          " median of the %d pairs' ratios --"
          % (label, len(results[numerator]), len(results[numerator])))
    for key, heading, convert in MEASURES:
        if not values(numerator, key, convert) or not values(denominator, key, convert):
            print("%-10s n/a" % heading)
            continue
        cells = []
        for kind in (numerator, denominator):
            v = values(kind, key, convert)
            cells.append("%s %7.1f (%.1f-%.1f)" % (kind, statistics.median(v), min(v), max(v)))
        ratio = (statistics.median(values(numerator, key, convert))
                 / statistics.median(values(denominator, key, convert)))
        # The two runs of a pair ran back to back, under the same load from
        # whatever else the machine was doing.
        pair_ratios = [a[key] / b[key] for a, b in zip(results[numerator], results[denominator])
                       if a[key] is not None and b[key] is not None]
        print("%-10s %-30s %-30s ratio %.3f  pairwise %.3f"
              % (heading, cells[0], cells[1], ratio, statistics.median(pair_ratios)))

    for title, key, convert in (("CPU ms to the load event", "cpu_by_process", lambda v: v),
                                ("PSS MiB", "processes", mib)):
        print("median %s by process:" % title)
        for kind in (numerator, denominator):
            roles = {}
            for r in results[kind]:
                for name, value in r[key]:
                    roles.setdefault(name, []).append(convert(value))
            shown = ", ".join("%s %.1f (in %d/%d runs)" % (name, statistics.median(v), len(v),
                                                             len(results[kind]))
                              for name, v in sorted(roles.items(), key=lambda kv: -max(kv[1])))
            print("  %-8s %s" % (kind, shown))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-n", "--pairs", type=int, default=10, help="interleaved pairs (10)")
    parser.add_argument("--settle", type=float, default=5.0,
                        help="seconds after the load event before PSS is read (5)")
    parser.add_argument("--warmup", type=int, default=1,
                        help="uncounted pairs run first to warm the page cache (1)")
    parser.add_argument("--timeout", type=float, default=60.0,
                        help="seconds a run may take to reach its load event (60)")
    parser.add_argument("--only", choices=("main", "accel"),
                        help="run one comparison only")
    parser.add_argument("--orvi", default=os.path.join(ROOT, "build", "release", "orvi-desktop"))
    parser.add_argument("--bare", default=os.path.join(BENCH, "bare-window"))
    parser.add_argument("--resources",
                        default=os.path.join(ROOT, "resources", BUNDLE_NAME, "Resources"))
    parser.add_argument("--keep", action="store_true", help="keep each run's HOME")
    args = parser.parse_args()
    for path in (args.orvi, args.bare):
        if not os.access(path, os.X_OK):
            raise SystemExit("%s: not built (see bench/README.md)" % path)

    become_subreaper()
    workdir = tempfile.mkdtemp(prefix="orvi-bench-")
    bench = None
    try:
        bench = Bench(args, workdir)
        render_nodes = [n for n in os.listdir("/dev/dri") if n.startswith("renderD")] \
            if os.path.isdir("/dev/dri") else []
        print("display %s, listener port %d, render nodes: %s, settle %.1f s, warm-up pairs %d"
              % (bench.display.name, bench.listener.port, " ".join(render_nodes) or "none",
                 args.settle, args.warmup))
        print("load average at start: %.2f %.2f %.2f" % os.getloadavg())
        if args.only in (None, "main"):
            main_results = run_pairs(bench, "orvi", "bare", args.pairs, "orvi-desktop vs bare window")
        if args.only in (None, "accel"):
            accel_results = run_pairs(bench, "default", "never", args.pairs,
                                      "bare window, acceleration policy default vs NEVER")
        print("\nload average at end: %.2f %.2f %.2f" % os.getloadavg())
        if args.only in (None, "main"):
            summarize(main_results, "orvi", "bare", "orvi-desktop vs bare window")
        if args.only in (None, "accel"):
            summarize(accel_results, "default", "never", "acceleration policy default vs NEVER")
    finally:
        if bench:
            bench.close()
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
