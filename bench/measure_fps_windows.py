#!/usr/bin/env python3
"""Frame rate of orvane.exe (Win32 backend) under Wine, with the stand-in script
host answering every frame at once, and of the native Linux build for comparison.

Frames are counted on the host's side: the stand-in records every line it
receives, and the FRAME lines recorded over a fixed time give the rate. The
configurations separate where a frame's time goes:
  rects-0           nothing to draw: message pump, 1 ms sleep, clear, present,
                    and the FRAME/END_FRAME round trip
  offscreen-N       N RECT lines with the camera far away: sent, read, parsed
                    and handed to the renderer, but nothing lands in the window
  rects-N           N filled rectangles: the same transfer plus GDI drawing
  sprites-N         N sprites of one 32x32 PNG (one decode, then GDI+ draws)
so offscreen-N minus rects-0 is roughly the cost of moving and parsing N lines,
and rects-N minus offscreen-N the cost of filling them.

  python3 bench/measure_fps_windows.py --orvane build/windows/engine/runtime/orvane.exe \\
      --standin build/windows/tests/orvane_standin_host.exe \\
      --close-window build/windows/tests/e2e/orvane_close_window.exe \\
      --emulator cmake/wine-run.sh [--seconds 5] [--only rects-0,rects-1000]
  python3 bench/measure_fps_windows.py --orvane build/linux/engine/runtime/orvane \\
      --standin build/linux/tests/orvane_standin_host
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
HOST_FOLDER = os.path.join("engine", "csharp", "ScriptHost", "bin", "Debug", "net8.0")
TICKS = os.sysconf("SC_CLK_TCK")


def grid_lines(kind, count):
    """count 32x32 records spread over the 960x540 window."""
    lines = []
    for i in range(count):
        x, y = (i * 37) % 928, (i * 53) % 508
        if kind == "rects":
            lines.append("RECT|%d|%d|32|32|%d|90|140" % (x, y, 60 + i % 190))
        else:
            lines.append("SPRITE|%d|%d|32|32|255|0|255|assets/player.png" % (x, y))
    return lines


class Case:
    def __init__(self, folder, args, name, lines):
        self.args = args
        self.name = name
        self.windows = bool(args.emulator) or args.orvane.endswith(".exe")
        self.work = os.path.join(folder, "work")
        self.project = os.path.join(self.work, "project")
        self.dotnet_root = os.path.join(folder, "dotnet-root")
        self.record = os.path.join(folder, "input.txt")
        host_folder = os.path.join(self.work, HOST_FOLDER)
        for path in (os.path.join(self.project, "assets"), host_folder, self.dotnet_root):
            os.makedirs(path, exist_ok=True)
        shutil.copy(args.standin, os.path.join(self.dotnet_root, "dotnet.exe" if self.windows else "dotnet"))
        shutil.copy(os.path.join(args.source_dir, "samples", "BasicGame", "assets", "player.png"),
                    os.path.join(self.project, "assets", "player.png"))
        open(os.path.join(self.project, "Game.dll"), "w").close()
        with open(os.path.join(self.project, "project.json"), "w") as f:
            f.write('{"name": "Bench", "mainClass": "Bench.Main", "mainAssembly": "Game.dll",'
                    ' "width": 960, "height": 540, "title": "Orvane bench"}\n')
        record = ("Z:" + self.record) if self.windows else self.record
        with open(os.path.join(host_folder, "Orvane.ScriptHost.dll"), "w") as f:
            f.write("record %s\nsend READY\n" % record)
            for line in lines:
                f.write("frame " + line + "\n")
            f.write("serve\n")
        self.answer_bytes = sum(len(line) + 1 for line in lines) + len("END_FRAME\n")

    def native(self, path):
        return ("Z:" + path.replace("/", "\\")) if self.windows else path

    def environment(self):
        env = dict(os.environ, DOTNET_ROOT=self.native(self.dotnet_root))
        if self.args.emulator:
            env.setdefault("ORVANE_WINE_PREFIX_ROOT", os.path.dirname(self.args.orvane))
        return env

    def command(self, program, *arguments):
        command = [program] + list(arguments)
        return ([self.args.emulator] + command) if self.args.emulator else command

    def prefix(self):
        """The Wine prefix that cmake/wine-run.sh picks for the runtime."""
        folder = os.path.dirname(self.args.orvane)
        while folder != "/" and not os.path.exists(os.path.join(folder, "CMakeCache.txt")):
            folder = os.path.dirname(folder)
        return os.path.join(folder, "wineprefix")

    def frames(self):
        try:
            with open(self.record, "rb") as f:
                return f.read().count(b"\nFRAME|")
        except OSError:
            return 0

    def close(self, process):
        if self.windows:
            subprocess.run(self.command(self.args.close_window), env=self.environment(),
                           capture_output=True, timeout=120)
        else:
            process.send_signal(signal.SIGTERM)


def read_proc(pid, name):
    try:
        with open("/proc/%s/%s" % (pid, name), "rb") as f:
            return f.read()
    except OSError:
        return b""


def cpu_seconds(matches):
    """CPU seconds of every process for which matches(pid, argv) holds."""
    total = 0.0
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        argv = read_proc(pid, "cmdline").split(b"\0")
        if not matches(pid, argv):
            continue
        try:
            fields = read_proc(pid, "stat").decode().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / TICKS
        except (IndexError, ValueError):
            continue
    return total


def mentions(marker):
    return lambda pid, argv: any(marker.encode() in arg for arg in argv)


def x_server(pid, argv):
    display = os.environ.get("DISPLAY", "").encode()
    return bool(argv) and argv[0].endswith(b"Xvfb") and display in argv[1:]


def wine_server(prefix):
    wanted = b"WINEPREFIX=" + prefix.encode()
    return lambda pid, argv: (bool(argv) and b"wineserver" in argv[0] and
                              wanted in read_proc(pid, "environ").split(b"\0"))


def measure(case, seconds):
    process = subprocess.Popen(case.command(case.args.orvane, case.native(case.project)), cwd=case.work,
                               env=case.environment(), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        deadline = time.monotonic() + 60
        while case.frames() < 3:
            if process.poll() is not None or time.monotonic() > deadline:
                print("%s: no frames: %s" % (case.name, process.stderr.read().decode(errors="replace")))
                return None
            time.sleep(0.05)
        time.sleep(1.0)   # first textures, caches
        host_marker = case.native(os.path.join(case.dotnet_root, ""))
        counters = {"host": mentions(host_marker), "both": mentions(case.native(case.project)),
                    "x": x_server}
        if case.args.emulator:
            counters["wine"] = wine_server(case.prefix())
        before = {name: cpu_seconds(test) for name, test in counters.items()}
        start, first = time.monotonic(), case.frames()
        time.sleep(seconds)
        end, last = time.monotonic(), case.frames()
        used = {name: cpu_seconds(test) - before[name] for name, test in counters.items()}
        # The host's command line holds the project path too.
        used["orvane"] = used.pop("both") - used["host"]
        case.close(process)
        code = process.wait(timeout=60)
        count = last - first
        per_frame = {name: seconds_used * 1000 / max(count, 1) for name, seconds_used in used.items()}
        return {"name": case.name, "fps": count / (end - start), "frames": count,
                "ms": (end - start) * 1000 / max(count, 1), "answer": case.answer_bytes,
                "cpu": per_frame, "exit": code}
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--close-window", default="", help="CloseWindow helper (Windows build)")
    parser.add_argument("--emulator", default="", help="Wine wrapper for the Windows build")
    parser.add_argument("--source-dir", default=os.path.dirname(HERE))
    parser.add_argument("--seconds", type=float, default=5)
    parser.add_argument("--only", help="comma-separated configuration names")
    args = parser.parse_args()
    for name in ("orvane", "standin", "close_window", "emulator", "source_dir"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set (start Xvfb first)")
    if args.orvane.endswith(".exe") and not args.close_window:
        sys.exit("--close-window is needed for the Windows build")

    configurations = [("rects-0", [])]
    for count in (1000, 10000):
        # The camera far away: the same lines are read and parsed, nothing lands in the window.
        configurations.append(("offscreen-%d" % count, ["CAMERA|1000000|1000000"] + grid_lines("rects", count)))
        configurations.append(("rects-%d" % count, grid_lines("rects", count)))
    configurations.append(("sprites-1000", grid_lines("sprites", 1000)))
    wanted = set(args.only.split(",")) if args.only else None

    results = []
    for name, lines in configurations:
        if wanted and name not in wanted:
            continue
        folder = tempfile.mkdtemp(prefix="orvane-fps-")
        try:
            result = measure(Case(folder, args, name, lines), args.seconds)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        if result:
            results.append(result)
            print("%-16s %7.1f fps" % (name, result["fps"]), file=sys.stderr)

    columns = ["orvane", "host", "x", "wine"]
    print("%-18s %7s %9s %8s" % ("config", "fps", "ms/frame", "answer") +
          "".join(" %10s" % (name + " cpu") for name in columns) + "  exit")
    for r in results:
        print("%-18s %7.1f %9.2f %8d" % (r["name"], r["fps"], r["ms"], r["answer"]) +
              "".join(" %8.2fms" % r["cpu"][name] if name in r["cpu"] else " %10s" % "-"
                      for name in columns) + "  %4d" % r["exit"])
    print("(answer = bytes the host sends per frame; cpu = CPU time per frame of orvane, the"
          " host, the X server and the wineserver)")


if __name__ == "__main__":
    main()
