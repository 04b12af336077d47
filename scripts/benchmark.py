#!/usr/bin/env python3
"""Start-up cost of the launcher, as a player feels it.

For each system it measures the time from starting a program until the game
stand-in starts (the stand-in stamps the wall clock first thing), for:
  direct    the stand-in itself
  wrapper   a minimal wrapper that sets one variable and starts it (the floor)
  guid      the same wrapper making a session GUID first, as the launcher must
            (CoCreateGuid on Windows, getrandom on Linux): the floor for a
            launcher that asks the system for its GUID
  launcher  the launcher with NoOperation set and WaitForExit unset; its
            telemetry goes to a loopback port where nothing listens
Runs are interleaved. Each round prints the median of each program and the
launcher's ratios; the table at the end gives the median over the rounds of
each figure (ratios included, each the median of the rounds' own ratios).
Under Wine it also counts the DLLs each program loads before the game starts
(WINEDEBUG=+loaddll). Not a test: the figures depend on the machine and on
what else runs on it, which is why the CPU and the load are printed too.

  benchmark.py [--runs N] [--rounds N] [--system linux|wine ...]
               [--linux-build DIR] [--windows-build DIR]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PROGRAMS = ("direct", "wrapper", "guid", "launcher")
HEADINGS = {"direct": "direct", "wrapper": "minimal wrapper", "guid": "wrapper + GUID", "launcher": "launcher"}


class NoStart(Exception):
    pass


def run_once(command, stamp, env):
    if os.path.exists(stamp):
        os.unlink(stamp)
    start = time.time_ns()
    process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        try:
            with open(stamp) as f:
                text = f.read().strip()
            if text:
                process.wait(timeout=30)
                return (int(text) - start) / 1e6
        except FileNotFoundError:
            pass
        if process.poll() is not None and deadline - time.monotonic() > 5:
            deadline = time.monotonic() + 5  # ended: the game has a little longer to stamp
        time.sleep(0.0005)
    if process.poll() is None:
        process.kill()
        process.wait()
    raise NoStart("the game stand-in did not start: %s (exit code %s)" % (" ".join(command), process.returncode))


def run_counted(command, stamp, env, failures):
    """One timed run. A run whose game never stamps is reported and run again
    (a few times at most): it has no start-up time to count."""
    while True:
        try:
            return run_once(command, stamp, env)
        except NoStart as error:
            failures.append(str(error))
            print("  retried: %s" % error, flush=True)
            if len(failures) > 3:
                raise


LOADED = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:build_module Loaded L"(.*)" at ')
CREATING = re.compile(r'^[0-9a-f]+:[0-9a-f]+:trace:process:NtCreateUserProcess L"(.*?)"')


def dlls_before_game(command, env, game):
    """The DLLs the program loads before it asks for the game's process (all
    it loads, for the game itself), from Wine's +loaddll and +process traces."""
    traced = dict(env, WINEDEBUG="+pid,+loaddll,+process")
    result = subprocess.run(command, env=traced, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, errors="replace", timeout=60)
    first = None
    names = []
    for line in result.stderr.splitlines():
        creating = CREATING.match(line)
        if creating and first is not None and creating.group(1).lower().endswith("\\" + game.lower()):
            break
        match = LOADED.match(line)
        if not match:
            continue
        pid, path = match.groups()
        if first is None:
            first = pid  # the program's own image
            continue
        if pid == first:
            names.append(path.replace("\\\\", "\\").rsplit("\\", 1)[-1])
    return names


def cpu_text():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d logical CPUs" % (model, os.cpu_count() or 0)


def load_text():
    try:
        return "%.2f %.2f %.2f" % os.getloadavg()
    except OSError:
        return "unknown"


def measure(name, build, suffix, wine, runs, rounds):
    """Returns one dictionary of medians (and ratios) per round, and the DLL counts."""
    work = tempfile.mkdtemp(prefix="kvt-bench-")
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"))
    try:
        game = os.path.join(work, "Game" + suffix)
        copies = {
            game: ("benchmarks", "kvt_start_stamp"),
            os.path.join(work, "Wrapper" + suffix): ("benchmarks", "kvt_minimal_wrapper"),
            os.path.join(work, "GuidWrapper" + suffix): ("benchmarks", "kvt_guid_wrapper"),
            os.path.join(work, "Launcher" + suffix): ("tests", "e2e", "kvt_e2e_launcher"),
        }
        for target, parts in copies.items():
            source = os.path.join(build, *parts[:-1], parts[-1] + suffix)
            if not os.path.exists(source):
                raise RuntimeError("%s is missing: build it first (scripts/benchmark.sh does)" % source)
            shutil.copy(source, target)
        with open(os.path.join(work, "Launcher.ini"), "w", newline="") as f:
            f.write("ApplicationPath=Game%s\nNoOperation=1\n" % suffix)
        stamp = os.path.join(work, "stamp.txt")
        prefix = []
        if wine:
            env.update(WINEPREFIX=os.path.join(work, "wineprefix"), WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d", LOCALAPPDATA="")
            subprocess.run(["wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            subprocess.run(["wineserver", "-p"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            prefix = ["wine"]
            env["KVT_STAMP_FILE"] = "Z:" + stamp
        else:
            env["KVT_STAMP_FILE"] = stamp
        commands = {
            "direct": prefix + [game],
            "wrapper": prefix + [os.path.join(work, "Wrapper" + suffix), game],
            "guid": prefix + [os.path.join(work, "GuidWrapper" + suffix), game],
            "launcher": prefix + [os.path.join(work, "Launcher" + suffix)],
        }
        results = []
        for round_index in range(rounds):
            failures = []
            for command in commands.values():  # warm caches and the wineserver
                run_counted(command, stamp, env, failures)
            times = {key: [] for key in commands}
            for _ in range(runs):
                for key, command in commands.items():
                    times[key].append(run_counted(command, stamp, env, failures))
            medians = {key: statistics.median(values) for key, values in times.items()}
            medians["ratio"] = medians["launcher"] / medians["wrapper"]
            medians["guid_ratio"] = medians["launcher"] / medians["guid"]
            results.append(medians)
            print("%-5s round %d/%d: direct %7.2f ms  wrapper %7.2f ms  wrapper+GUID %7.2f ms  launcher %7.2f ms"
                  "  launcher/wrapper %.2f  launcher/wrapper+GUID %.2f  (%d runs each, %d retried, load %s)" % (
                      name, round_index + 1, rounds, medians["direct"], medians["wrapper"], medians["guid"],
                      medians["launcher"], medians["ratio"], medians["guid_ratio"], runs, len(failures),
                      load_text()), flush=True)
        dlls = None
        if wine:
            dlls = {key: dlls_before_game(command, env, os.path.basename(game)) for key, command in commands.items()}
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return results, dlls
    finally:
        if wine:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description="Start-up cost of the launcher against a minimal wrapper.")
    parser.add_argument("--runs", type=int, default=int(os.environ.get("KVT_BENCH_RUNS", "25")),
                        help="interleaved runs of each program per round (default 25)")
    parser.add_argument("--rounds", type=int, default=int(os.environ.get("KVT_BENCH_ROUNDS", "3")),
                        help="rounds; the table gives the median of their figures (default 3)")
    parser.add_argument("--system", action="append", choices=("linux", "wine"),
                        help="measure only this system (may be given twice; default both)")
    parser.add_argument("--linux-build", default=os.path.join(root, "build", "linux"))
    parser.add_argument("--windows-build", default=os.path.join(root, "build", "windows"))
    options = parser.parse_args()
    systems = options.system or ["linux", "wine"]

    print("CPU: %s; load average at the start %s" % (cpu_text(), load_text()), flush=True)
    table = []
    dll_counts = None
    if "linux" in systems:
        results, _ = measure("linux", options.linux_build, "", False, options.runs, options.rounds)
        table.append(("Linux", results))
    if "wine" in systems:
        results, dll_counts = measure("wine", options.windows_build, ".exe", True, options.runs, options.rounds)
        table.append(("Wine", results))

    print()
    print("Medians of %d rounds of %d interleaved runs each (load average at the end %s):" % (
        options.rounds, options.runs, load_text()))
    print()
    print("| system | %s | launcher / wrapper | launcher / wrapper + GUID |" % " | ".join(HEADINGS[key] for key in PROGRAMS))
    print("|---|%s---|---|" % ("---|" * len(PROGRAMS)))
    for system, results in table:
        figures = ["%.2f ms" % statistics.median(r[key] for r in results) for key in PROGRAMS]
        print("| %s | %s | %.2f | %.2f |" % (system, " | ".join(figures), statistics.median(r["ratio"] for r in results),
                                             statistics.median(r["guid_ratio"] for r in results)))
    if dll_counts is not None:
        print()
        print("DLLs loaded under Wine before the game starts (the game's own for direct): %s" % ", ".join(
            "%s %d" % (HEADINGS[key], len(dll_counts[key])) for key in PROGRAMS))
        print("  launcher: %s" % " ".join(dll_counts["launcher"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
