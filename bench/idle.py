#!/usr/bin/python3
"""Idle benchmark: the CPU that orvi-desktop and bare-window take while they
show the same page and nobody touches it (see README.md).

Rounds of one run of each program (which goes first alternates), on one
private desktop of the end-to-end harness (1280x800, a 28-pixel panel): each
run starts the program with a fresh install, waits for the page's load event,
leaves it alone for --idle seconds, then reads the CPU time of its whole
process tree over --measure seconds. Prints per run the share of one core, and
the medians.
"""

import argparse, os, shutil, signal, statistics, sys, time

BENCH = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(BENCH, "..", "tests", "e2e"))
import harness  # noqa: E402
from run import PROGRAMS, cpu_ms, processes, tree  # noqa: E402


def tree_cpu_ms(pid):
    return sum(cpu_ms(p, row) for p, row in tree(pid, processes()).items())


def idle_share(desktop, args, program, page, who):
    """The share of one core the program's tree used over the measured time."""
    marker = ('<script>addEventListener("load",function(){new Image().src='
              f'"{desktop.link.page_url}loaded?{who}"}})</script>')
    install, proc = harness.Install(page.replace("</head>", marker + "</head>"), within=desktop.dir), None
    address, bus = desktop.x("dbus-daemon", f"--config-file={harness.HERE}/session-bus.conf", "--fork",
                                  "--print-address=1", "--print-pid=1").split()
    try:
        app = harness.App(desktop, install, dict(DBUS_SESSION_BUS_ADDRESS=address,
                                                 DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={install.root}/none"))
        argv = None if program == "orvi" else [args.bare, f"{install.resources}/index.html"]
        proc = app.start(argv).process
        desktop.link.wait_for("loaded", args.timeout, lambda data: data == who)
        desktop.xdo("mousemove", 1279, 799)  # out of the way, and not moving
        time.sleep(args.idle)
        start, started = tree_cpu_ms(proc.pid), time.monotonic()
        time.sleep(args.measure)
        used, elapsed = tree_cpu_ms(proc.pid) - start, time.monotonic() - started
        if proc.poll() is not None:
            raise SystemExit(f"{who}: exited ({proc.returncode}):\n{proc.log()[-4000:]}")
        return 100 * used / (elapsed * 1000)
    finally:
        if proc:
            proc.stop()
        os.kill(int(bus), signal.SIGTERM)
        shutil.rmtree(install.parent, True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=2, help="rounds of one run of each program (2)")
    parser.add_argument("--idle", type=float, default=60.0, help="seconds left alone before measuring (60)")
    parser.add_argument("--measure", type=float, default=30.0, help="seconds measured (30)")
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds a run may take to load (60)")
    parser.add_argument("--page", default=os.path.join(harness.RESOURCES, "index.html"))
    parser.add_argument("--orvi", default=os.path.join(BENCH, "..", "build", "release", "orvi-desktop"))
    parser.add_argument("--bare", default=os.path.join(BENCH, "bare-window"))
    args = parser.parse_args()
    harness.BINARY, args.bare = os.path.abspath(args.orvi), os.path.abspath(args.bare)
    with open(args.page, encoding="utf-8") as f:
        page = f.read()
    shares = {p: [] for p in PROGRAMS}
    with harness.Desktop() as desktop:
        print(f"display {desktop.env['DISPLAY']}, {args.rounds} rounds, idle {args.idle} s, measured {args.measure} s")
        for number in range(1, args.rounds + 1):
            for program in PROGRAMS[::1 if number % 2 else -1]:
                share = idle_share(desktop, args, program, page, f"{program}-{number:02d}")
                shares[program].append(share)
                print(f"round {number}  {program}  {share:6.1f} % of one core", flush=True)
    print("medians: " + ", ".join(f"{p} {statistics.median(v):.1f} %" for p, v in shares.items())
          + f"; ratio orvi/bare {statistics.median(shares['orvi']) / statistics.median(shares['bare']):.2f}")


if __name__ == "__main__":
    main()
