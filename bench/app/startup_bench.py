#!/usr/bin/python3
"""Start-up of the real program under a private Xvfb: the time from exec to the main window
being mapped, and the memory of the process tree (the program and its browser-engine helpers)
once the home page has had time to load. Prints medians; goals: under 1.5 s and under 300 MB.

    startup_bench.py <path to tavelin> [runs]"""
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def tree_pids(root):
    pids, frontier = [root], [root]
    while frontier:
        pid = frontier.pop()
        try:
            children = pathlib.Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
        except OSError:
            continue
        for child in map(int, children):
            pids.append(child)
            frontier.append(child)
    return pids


def pss_kb(pid):
    try:
        for line in pathlib.Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
            if line.startswith("Pss:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def one_run(exe, display):
    tmp = pathlib.Path(tempfile.mkdtemp(prefix="tavelin-bench-"))
    shutil.copy(exe, tmp / "tavelin")
    env = dict(os.environ, DISPLAY=display, HOME=str(tmp / "home"),
               QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu")
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    start = time.monotonic()
    app = subprocess.Popen([str(tmp / "tavelin")], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "TavelinV3.14"],
                   env=env, stdout=subprocess.DEVNULL, timeout=60)
    shown = time.monotonic() - start
    time.sleep(4)
    memory_mb = sum(pss_kb(p) for p in tree_pids(app.pid)) / 1024
    app.terminate()
    app.wait(10)
    shutil.rmtree(tmp, ignore_errors=True)
    return shown, memory_mb


def main():
    exe = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    display = ":97"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        one_run(exe, display)  # warms the file cache
        results = [one_run(exe, display) for _ in range(runs)]
    finally:
        xvfb.terminate()
    shown = statistics.median(r[0] for r in results)
    memory = statistics.median(r[1] for r in results)
    print(f"start-up to the main window shown: median {shown:.3f} s over {runs} runs "
          f"(goal < 1.5 s: {'met' if shown < 1.5 else 'missed'})")
    print(f"memory of the process tree (PSS): median {memory:.0f} MB "
          f"(goal < 300 MB: {'met' if memory < 300 else 'missed'})")


if __name__ == "__main__":
    main()
