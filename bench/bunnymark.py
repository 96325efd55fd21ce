#!/usr/bin/env python3
"""Bunny mark: frames per second for N moving 32x32 sprites (a 16x16 image scaled
up) or rectangles in a 1280x720 window, on every runtime that is at hand:

  orvane        the Linux build with the real C# host and bench/csharp/BunnyMark
  orvane.exe    the Windows build under Wine with the stand-in host (no .NET there),
                which repeats one frame of the same scene
  LÖVE, pygame  the same scene (bench/peers), when `love` and python3's pygame exist
                (Debian: apt-get install -y love python3-pygame)

Every runtime sleeps 1 ms per frame. Each run lasts --seconds after a warm-up;
orvane's frames are counted by bench/frame_counter.c, the Wine build's by the
stand-in, the peers' by themselves. --before adds a second Linux executable (for
example main's build) as its own column.

  python3 bench/bunnymark.py --orvane build/linux/engine/runtime/orvane \\
      [--before /path/to/old/orvane] \\
      [--windows build/windows [--windows-before /path/to/old/build/windows]] \\
      [--seconds 5] [--counts 1000,10000] [--kinds sprites,rects] [--no-peers] [--phases]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import types

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import measure_fps  # noqa: E402
import measure_fps_windows  # noqa: E402

SOURCE = os.path.dirname(HERE)
GAME = os.path.join(HERE, "csharp", "BunnyMark")
IMAGE = os.path.join(GAME, "assets", "bunny.png")
WIDTH, HEIGHT, SIZE = 1280, 720, 32
PHASES = False   # --phases: where each orvane frame's time went


def positions(count, frame):
    """Where bench/csharp/BunnyMark puts its items in a frame."""
    return [((i * 37 + frame) % (WIDTH - SIZE), (i * 53 + frame) % (HEIGHT - SIZE)) for i in range(count)]


def build_game():
    subprocess.run(["dotnet", "build", "-c", "Release", "-nologo", "-v", "q", os.path.join(GAME, "BunnyMark.csproj")],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(GAME, "bin", "Release", "net8.0", "BunnyMark.dll")


def write_project(folder, scene, assembly):
    os.makedirs(os.path.join(folder, "assets"), exist_ok=True)
    shutil.copy(IMAGE, os.path.join(folder, "assets", "bunny.png"))
    with open(os.path.join(folder, "project.json"), "w") as f:
        f.write('{"name": "BunnyMark", "mainClass": "BunnyMark.BunnyMarkGame", "startScene": "%s",'
                ' "mainAssembly": "%s", "width": %d, "height": %d, "title": "Orvane bunny mark"}\n'
                % (scene, assembly, WIDTH, HEIGHT))


def run_orvane(orvane, scene, assembly, seconds, folder, env):
    """The Linux build with the real host; the host is found from the source folder."""
    project = os.path.join(folder, scene)
    write_project(project, scene, assembly)
    result = measure_fps.measure(scene + "-" + str(abs(hash(orvane))), [orvane, project], SOURCE, env,
                                 seconds, folder)
    if result and PHASES:
        print("  %s %s: exchange %.2f ms, draw %.2f, present %.2f, rest %.2f; cpu orvane %.2f, host %.2f"
              % (orvane, scene, result["exchange"], result["draw"], result["present"], result["rest"],
                 result["orvane_cpu"], result["host_cpu"]), file=sys.stderr)
    return result and result["fps"]


def run_windows(args, build, kind, count, seconds):
    """orvane.exe of build under Wine: the stand-in (from --windows) answers every
    frame with frame 1 of the scene."""
    folder = tempfile.mkdtemp(prefix="orvane-bunny-wine-")
    try:
        options = types.SimpleNamespace(
            orvane=os.path.join(build, "engine", "runtime", "orvane.exe"),
            standin=os.path.join(args.windows, "tests", "orvane_standin_host.exe"),
            close_window=os.path.join(args.windows, "tests", "e2e", "orvane_close_window.exe"),
            emulator=args.emulator, source_dir=SOURCE)
        lines = []
        for i, (x, y) in enumerate(positions(count, 1)):
            if kind == "sprites":
                lines.append("SPRITE|%d|%d|%d|%d|255|0|255|assets/bunny.png" % (x, y, SIZE, SIZE))
            else:
                lines.append("RECT|%d|%d|%d|%d|%d|90|140" % (x, y, SIZE, SIZE, 60 + i % 190))
        case = measure_fps_windows.Case(folder, options, "%s-%d" % (kind, count), lines)
        shutil.copy(IMAGE, os.path.join(case.project, "assets", "bunny.png"))
        with open(os.path.join(case.project, "project.json"), "w") as f:
            f.write('{"name": "Bench", "mainClass": "Bench.Main", "mainAssembly": "Game.dll",'
                    ' "width": %d, "height": %d, "title": "Orvane bunny mark"}\n' % (WIDTH, HEIGHT))
        result = measure_fps_windows.measure(case, seconds)
        return result and result["fps"]
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def run_peer(command, seconds):
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=seconds + 60)
    except (OSError, subprocess.TimeoutExpired) as error:
        print("%s: %s" % (command[0], error), file=sys.stderr)
        return None
    for line in done.stdout.splitlines():
        if line.startswith("fps "):
            return float(line.split()[1])
    print("%s gave no rate: %s" % (" ".join(command[:2]), done.stderr.strip()[-300:]), file=sys.stderr)
    return None


def pygame_python():
    for python in (sys.executable, "/usr/bin/python3"):
        if shutil.which(python) and subprocess.run([python, "-c", "import pygame"], capture_output=True).returncode == 0:
            return python
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", help="the Linux build's executable")
    parser.add_argument("--before", help="another Linux executable to compare with")
    parser.add_argument("--windows", help="the Windows build folder (build/windows)")
    parser.add_argument("--windows-before", help="another Windows build folder to compare with")
    parser.add_argument("--emulator", default=os.path.join(SOURCE, "cmake", "wine-run.sh"))
    parser.add_argument("--seconds", type=float, default=5)
    parser.add_argument("--counts", default="1000,10000")
    parser.add_argument("--kinds", default="sprites,rects")
    parser.add_argument("--no-peers", action="store_true", help="leave out LÖVE and pygame")
    parser.add_argument("--phases", action="store_true", help="print each Linux run's frame phases")
    args = parser.parse_args()
    global PHASES
    PHASES = args.phases
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set (start Xvfb, e.g. scripts/start-xvfb.sh)")
    measure_fps.ARGS = types.SimpleNamespace(perf=False)
    if args.windows:
        args.windows = os.path.abspath(args.windows)
        args.emulator = os.path.abspath(args.emulator)
    if args.windows_before and not args.windows:
        sys.exit("--windows-before needs --windows (for the stand-in host)")

    runtimes = []
    folder = tempfile.mkdtemp(prefix="orvane-bunny-")
    try:
        env = dict(os.environ, LD_PRELOAD=measure_fps.build_counter(folder))
        if args.orvane or args.before:
            assembly = build_game()
        if not args.no_peers:
            if shutil.which("love"):
                runtimes.append(("LÖVE", lambda kind, n: run_peer(
                    ["love", os.path.join(HERE, "peers", "love"), kind, str(n), str(args.seconds), IMAGE],
                    args.seconds)))
            python = pygame_python()
            if python:
                runtimes.append(("pygame", lambda kind, n: run_peer(
                    [python, os.path.join(HERE, "peers", "pygame_scene.py"), kind, str(n), str(args.seconds),
                     IMAGE], args.seconds)))
        for label, path in (("orvane before", args.before), ("orvane", args.orvane)):
            if path:
                path = os.path.abspath(path)
                runtimes.append((label, lambda kind, n, path=path: run_orvane(
                    path, "%s-%d" % (kind, n), assembly, args.seconds, folder, env)))
        for label, build in (("orvane.exe before (Wine)", args.windows_before), ("orvane.exe (Wine)", args.windows)):
            if build:
                build = os.path.abspath(build)
                runtimes.append((label, lambda kind, n, build=build: run_windows(args, build, kind, n, args.seconds)))
        if not runtimes:
            sys.exit("nothing to run: give --orvane, --before or --windows, or install love / pygame")

        rows = [(kind, int(n)) for kind in args.kinds.split(",") for n in args.counts.split(",")]
        table = {}
        for kind, count in rows:
            for label, run in runtimes:
                fps = run(kind, count)
                table[(kind, count, label)] = fps
                print("%-18s %-8s %6d  %s" % (label, kind, count, "%.1f fps" % fps if fps else "failed"),
                      file=sys.stderr)

        print("| Work per frame | " + " | ".join(label for label, _ in runtimes) + " |")
        print("|---|" + "---|" * len(runtimes))
        for kind, count in rows:
            cells = []
            for label, _ in runtimes:
                fps = table[(kind, count, label)]
                cells.append("%.0f fps" % fps if fps else "-")
            print("| %s %s | %s |" % ("{:,}".format(count), kind, " | ".join(cells)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
