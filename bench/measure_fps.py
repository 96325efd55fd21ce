#!/usr/bin/env python3
"""Frame rate of the real orvane executable, and where each frame's time goes.

Runs orvane for a few seconds per configuration under the X display in DISPLAY:
  basicgame     samples/BasicGame with the real C# script host
  rects-N       the stand-in host answering every frame with N RECT lines
  sprites-N     the stand-in host answering with N SPRITE lines of one 32x32 PNG
frame_counter.c (preloaded) timestamps the SDL calls that separate the phases of
a frame: exchange (FRAME line out until END_FRAME is in: host, pipe, parsing),
draw (clear, rects, sprites, outlines), present (copy to the window) and rest
(the 1 ms sleep and the message pump). CPU time of orvane and of the host comes
from /proc. --perf adds a perf profile of orvane per configuration.

  python3 bench/measure_fps.py --orvane build/linux/engine/runtime/orvane \
      --standin build/linux/tests/orvane_standin_host [--seconds 6] [--perf]
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TICKS = os.sysconf("SC_CLK_TCK")


def build_counter(folder):
    library = os.path.join(folder, "frame_counter.so")
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", library,
                    os.path.join(HERE, "frame_counter.c"), "-ldl"], check=True)
    return library


def standin_project(folder, standin, source_dir, lines):
    """A project whose script host is the stand-in playing `lines` every frame."""
    work = os.path.join(folder, "work")
    project = os.path.join(work, "project")
    host_folder = os.path.join(work, "engine", "csharp", "ScriptHost", "bin", "Debug", "net8.0")
    dotnet_root = os.path.join(folder, "dotnet-root")
    for path in (project, os.path.join(project, "assets"), host_folder, dotnet_root):
        os.makedirs(path, exist_ok=True)
    shutil.copy(standin, os.path.join(dotnet_root, "dotnet"))
    shutil.copy(os.path.join(source_dir, "samples", "BasicGame", "assets", "player.png"),
                os.path.join(project, "assets", "player.png"))
    open(os.path.join(project, "Game.dll"), "w").close()
    with open(os.path.join(project, "project.json"), "w") as f:
        f.write('{"name": "Bench", "mainClass": "Bench.Main", "startScene": "Main",'
                ' "mainAssembly": "Game.dll", "width": 960, "height": 540, "title": "Orvane bench"}\n')
    with open(os.path.join(host_folder, "Orvane.ScriptHost.dll"), "w") as f:
        f.write("send READY\n")
        for line in lines:
            f.write("frame " + line + "\n")
        f.write("serve\n")
    return work, project, dotnet_root


def grid_lines(kind, count):
    """count 32x32 records spread over the 960x540 window."""
    lines = []
    for i in range(count):
        x = (i * 37) % 928
        y = (i * 53) % 508
        if kind == "RECT":
            lines.append("RECT|%d|%d|32|32|%d|%d|%d" % (x, y, 60 + i % 190, 90, 140))
        else:
            lines.append("SPRITE|%d|%d|32|32|255|0|255|assets/player.png" % (x, y))
    return lines


def cpu_seconds(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS
    except (OSError, IndexError, ValueError):
        return 0.0


def child_pid(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            children = f.read().split()
        return int(children[0]) if children else None
    except OSError:
        return None


def measure(name, command, cwd, env, seconds, profile_folder):
    log = os.path.join(profile_folder, name + ".frames")
    env = dict(env, ORVANE_FRAME_LOG=log)
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    time.sleep(1.5)   # start-up and the first textures
    if process.poll() is not None:
        print("%s: orvane ended early: %s" % (name, process.stderr.read().decode(errors="replace")))
        return None
    host = child_pid(process.pid)
    start = time.monotonic()
    orvane_cpu, host_cpu = cpu_seconds(process.pid), cpu_seconds(host) if host else 0.0
    perf = None
    if profile_folder and ARGS.perf:
        perf = subprocess.Popen(["perf", "record", "-q", "-g", "-F", "999", "-p", str(process.pid),
                                 "-o", os.path.join(profile_folder, name + ".perf"), "--",
                                 "sleep", str(seconds - 1)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    end = time.monotonic()
    orvane_cpu = cpu_seconds(process.pid) - orvane_cpu
    host_cpu = (cpu_seconds(host) - host_cpu) if host else 0.0
    if perf:
        perf.wait()
    process.send_signal(signal.SIGTERM)
    process.wait(timeout=20)

    frames = []
    with open(log) as f:
        for line in f:
            frames.append([float(v) for v in line.split()])
    inside = [i for i, frame in enumerate(frames) if start <= frame[0] and frame[3] <= end]
    if len(inside) < 2:
        print("%s: too few frames" % name)
        return None
    count = len(inside)
    elapsed = frames[inside[-1]][3] - frames[inside[0]][0]

    def phase(a, b):
        return statistics.median(frames[i][b] - frames[i][a] for i in inside) * 1000

    rest = statistics.median(frames[i + 1][0] - frames[i][3] for i in inside if i + 1 < len(frames)) * 1000
    return {
        "name": name, "fps": count / elapsed, "exchange": phase(0, 1), "draw": phase(1, 2),
        "present": phase(2, 3), "rest": rest,
        "orvane_cpu": orvane_cpu / count * 1000, "host_cpu": host_cpu / count * 1000,
        "first_draw": (frames[0][2] - frames[0][1]) * 1000, "exit": process.returncode,
    }


def print_profile(folder, name):
    data = os.path.join(folder, name + ".perf")
    if not os.path.exists(data):
        return
    report = subprocess.run(["perf", "report", "-i", data, "--no-children", "--sort", "dso,symbol",
                             "--stdio", "-g", "none", "--percent-limit", "2"],
                            capture_output=True, text=True)
    print("--- perf profile of orvane, %s (share of orvane's samples)" % name)
    for line in report.stdout.splitlines():
        if line.strip() and not line.startswith("#"):
            print("   " + line.strip())


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--source-dir", default=os.path.dirname(HERE))
    parser.add_argument("--seconds", type=float, default=6)
    parser.add_argument("--only", help="comma-separated configuration names")
    parser.add_argument("--perf", action="store_true")
    ARGS = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set (start Xvfb, e.g. scripts/start-xvfb.sh)")

    orvane = os.path.abspath(ARGS.orvane)
    source_dir = os.path.abspath(ARGS.source_dir)
    folder = tempfile.mkdtemp(prefix="orvane-fps-")
    try:
        env = dict(os.environ, LD_PRELOAD=build_counter(folder))
        configurations = [("basicgame", None)]
        for kind in ("RECT", "SPRITE"):
            for count in (1000, 10000):
                configurations.append(("%ss-%d" % (kind.lower(), count), grid_lines(kind, count)))
        wanted = set(ARGS.only.split(",")) if ARGS.only else None
        results = []
        for name, lines in configurations:
            if wanted and name not in wanted:
                continue
            if lines is None:
                result = measure(name, [orvane, "samples/BasicGame"], source_dir, env, ARGS.seconds, folder)
            else:
                case_folder = os.path.join(folder, name)
                work, project, dotnet_root = standin_project(case_folder, os.path.abspath(ARGS.standin),
                                                             source_dir, lines)
                result = measure(name, [orvane, project], work, dict(env, DOTNET_ROOT=dotnet_root),
                                 ARGS.seconds, folder)
            if result:
                results.append(result)
        print("%-14s %8s %10s %8s %9s %7s %12s %10s %11s %5s" % (
            "config", "fps", "exchange", "draw", "present", "rest", "orvane cpu", "host cpu", "first draw",
            "exit"))
        for r in results:
            print("%-14s %8.1f %8.3fms %6.3fms %7.3fms %5.3fms %10.3fms %8.3fms %9.3fms %5d" % (
                r["name"], r["fps"], r["exchange"], r["draw"], r["present"], r["rest"],
                r["orvane_cpu"], r["host_cpu"], r["first_draw"], r["exit"]))
        print("(medians per frame; cpu = CPU time per frame over the run; first draw includes"
              " the texture decodes)")
        for r in results:
            print_profile(folder, r["name"])
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
