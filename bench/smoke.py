#!/usr/bin/python3
"""Runs every benchmark once, briefly (one round, a few seconds of idle, a few
cycles), and fails when one cannot run or prints no figures. It looks for the
figures, never at their values: timings are for runs made by hand.

    bench/smoke.py [--orvi BINARY]     (after make -C bench and the release build)
"""

import argparse, os, re, subprocess, sys, time

BENCH = os.path.dirname(os.path.abspath(__file__))
NUMBER = r"[-+]?\d+(\.\d+)?"
# Each benchmark with its short run's arguments and the figures it must print.
RUNS = [
    ("run.py", ["--rounds", "1", "--settle", "1"],
     [rf"^{m} +orvi {NUMBER} .* bare {NUMBER} .* ratio {NUMBER}" for m in ("load ms", "CPU ms", "PSS MiB")]),
    ("idle.py", ["--rounds", "1", "--idle", "3", "--measure", "2"],
     [rf"^medians: orvi {NUMBER} %, bare {NUMBER} %; ratio orvi/bare {NUMBER}"]),
    ("soak.py", ["12", "--recoveries", "3", "--every", "4", "--page-life", "0", "--warm-recoveries", "0",
                 "--settle", "1"],
     [rf"^12 cycles, .*: wrong end states \d+; PSS program {NUMBER} MiB",
      rf"^collapse: median {NUMBER} ms, p95 {NUMBER} ms over \d+", rf"^restore: median {NUMBER} ms",
      *(rf"^  {m} +{NUMBER} MiB \[" for m in ("program", "web", "tree")),
      rf"^program's private memory per recovery .*: {NUMBER} MiB \[", r"^settled: .*recoveries 3 of 3"]),
    ("hours.py", ["--duration", "12", "--interval", "2", "--warmup", "4", "--bare"],
     [rf"^{p}: private memory after the first 4 s" for p in ("orvi", "bare")]
     + [rf"^  {r} +{NUMBER} \[ *{NUMBER} +{NUMBER}\] +{NUMBER} " for r in ("program", "web", "network", "all")]
     + [rf"^  CPU % of one core: mean {NUMBER}, largest {NUMBER}"]),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orvi", default=os.path.join(BENCH, "..", "build", "release", "orvi-desktop"))
    args = parser.parse_args()
    failed = []
    for script, arguments, figures in RUNS:
        command = ["/usr/bin/python3", os.path.join(BENCH, script), *arguments, "--orvi", args.orvi]
        started = time.monotonic()
        try:
            done = subprocess.run(command, capture_output=True, text=True, timeout=300)
            output, status = done.stdout + done.stderr, done.returncode
        except subprocess.TimeoutExpired as timeout:
            output, status = (timeout.stdout or b"").decode() + (timeout.stderr or b"").decode(), "timed out"
        missing = [figure for figure in figures if not re.search(figure, output, re.M)]
        print(f"--- {script} {' '.join(arguments)}: status {status}, {time.monotonic() - started:.0f} s\n{output}",
              flush=True)
        if status != 0 or missing:
            failed.append(script)
            print(f"{script}: " + (f"status {status}" if status != 0 else "") + "".join(
                f"\n  no figure matching {figure}" for figure in missing), flush=True)
    print(f"benchmarks that failed their short run: {', '.join(failed)}" if failed else
          f"every benchmark ran and printed its figures ({len(RUNS)})")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
