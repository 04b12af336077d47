#!/usr/bin/env python3
"""Start-up cost of the launcher, as a player feels it.

For each system it measures the time from starting a program until the game
stand-in starts (the stand-in stamps the wall clock first thing), for:
  direct    the stand-in itself
  wrapper   a minimal wrapper that sets one variable and starts it (the floor)
  launcher  the launcher with NoOperation set and WaitForExit unset; its
            telemetry goes to a loopback port where nothing listens
Runs are interleaved; it prints the median of each and the launcher's ratio to
the floor. Not a test: the figures depend on the machine.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = int(os.environ.get("KVT_BENCH_RUNS", "25"))


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
        time.sleep(0.0005)
    process.kill()
    raise RuntimeError("the game stand-in did not start: %s" % command)


def measure(name, build, suffix, wine):
    work = tempfile.mkdtemp(prefix="kvt-bench-")
    try:
        game = os.path.join(work, "Game" + suffix)
        launcher = os.path.join(work, "Launcher" + suffix)
        wrapper = os.path.join(work, "Wrapper" + suffix)
        shutil.copy(os.path.join(build, "benchmarks", "kvt_start_stamp" + suffix), game)
        shutil.copy(os.path.join(build, "benchmarks", "kvt_minimal_wrapper" + suffix), wrapper)
        shutil.copy(os.path.join(build, "tests", "e2e", "kvt_e2e_launcher" + suffix), launcher)
        with open(os.path.join(work, "Launcher.ini"), "w", newline="") as f:
            f.write("ApplicationPath=Game%s\nNoOperation=1\n" % suffix)
        stamp = os.path.join(work, "stamp.txt")
        env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"))
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
            "wrapper": prefix + [wrapper, game],
            "launcher": prefix + [launcher],
        }
        for command in commands.values():  # warm caches and the wineserver
            run_once(command, stamp, env)
        times = {key: [] for key in commands}
        for _ in range(RUNS):
            for key, command in commands.items():
                times[key].append(run_once(command, stamp, env))
        medians = {key: statistics.median(values) for key, values in times.items()}
        print("%-8s direct %7.2f ms   wrapper %7.2f ms   launcher %7.2f ms   launcher/wrapper %.2f   (%d runs each)" % (
            name, medians["direct"], medians["wrapper"], medians["launcher"],
            medians["launcher"] / medians["wrapper"], RUNS))
        if wine:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    measure("linux", os.path.join(root, "build", "linux"), "", False)
    measure("wine", os.path.join(root, "build", "windows"), ".exe", True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
