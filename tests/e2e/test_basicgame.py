#!/usr/bin/env python3
"""BasicGame with the real C# script host on Linux: it starts, draws the game
into its window, walks the player right while a real Right-arrow key is held
(pressed through the X server's XTEST extension), and a SIGTERM closes it
normally with exit code 0.

Runs on the X display in DISPLAY, or on a private Xvfb when none is set. Needs
the C# build output (scripts/test builds it before ctest)."""

import os
import re
import signal
import subprocess
import sys
import time

import e2e_support as e2e
from e2e_support import fail
from xtest import FakeInput

CLEAR = bytes((18, 20, 26))
START_TIMEOUT = 60.0   # the first .NET start on a cold machine is slow
RUN_SECONDS = 3.0


def start_private_display(source_dir):
    number = subprocess.run([os.path.join(source_dir, "scripts", "start-xvfb.sh")],
                            capture_output=True, text=True)
    if number.returncode != 0:
        fail("no DISPLAY and Xvfb could not be started")
    display = number.stdout.strip()
    return ":" + display, "/tmp/.orvane-xvfb-%s.pid" % display


def stop_private_display(pid_file):
    try:
        with open(pid_file) as f:
            os.kill(int(f.read().strip()), signal.SIGTERM)
        os.remove(pid_file)
    except (OSError, ValueError):
        pass


def window_geometry(env):
    """Geometry WxH+X+Y of orvane's top-level window (no window manager runs,
    so it is a child of the root window, found by its class name)."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, env=env)
    for line in tree.stdout.splitlines():
        if '("orvane"' in line:
            match = re.search(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", line)
            if match:
                return tuple(int(v) for v in match.groups())
    return None


def screenshot_rgb(env, geometry):
    width, height, x, y = geometry
    crop = "%dx%d+%d+%d" % (width, height, x, y)
    shot = subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", "-depth", "8", "rgb:-"],
                          capture_output=True, env=env)
    if shot.returncode != 0:
        fail("screenshot failed: " + shot.stderr.decode(errors="replace"))
    return shot.stdout


def dominant_opaque_colour(png):
    """The commonest fully opaque colour of an image (the player's body)."""
    raw = subprocess.run(["convert", png, "-depth", "8", "rgba:-"], capture_output=True).stdout
    counts = {}
    for i in range(0, len(raw), 4):
        if raw[i + 3] == 255:
            counts[raw[i:i + 3]] = counts.get(raw[i:i + 3], 0) + 1
    return max(counts, key=counts.get) if counts else None


def leftmost_column(pixels, width, colour):
    columns = [(i // 3) % width for i in range(0, len(pixels), 3) if pixels[i:i + 3] == colour]
    return min(columns) if columns else None


def main():
    args = e2e.parse_args()

    if args.platform == "windows":
        print("SKIP: the C# host end-to-end run is a Linux test (the Windows build runs under Wine)")
        return e2e.SKIP

    source_dir = os.path.abspath(args.source_dir)
    for needed in ("samples/BasicGame/bin/Debug/net8.0/BasicGame.dll",
                   "engine/csharp/ScriptHost/bin/Debug/net8.0/Orvane.ScriptHost.dll"):
        if not os.path.exists(os.path.join(source_dir, needed)):
            fail(needed + " is missing: build the C# projects first "
                 "(dotnet build samples/BasicGame/BasicGame.csproj)")
    for tool in ("import", "xwininfo"):
        if subprocess.run(["sh", "-c", "command -v " + tool], capture_output=True).returncode != 0:
            fail(tool + " is not installed (imagemagick, x11-utils)")

    env = dict(os.environ)
    pid_file = None
    if not env.get("DISPLAY"):
        env["DISPLAY"], pid_file = start_private_display(source_dir)
    try:
        return run_game(args.orvane, source_dir, env)
    finally:
        if pid_file:
            stop_private_display(pid_file)


def run_game(orvane, source_dir, env):
    process = subprocess.Popen([orvane, "samples/BasicGame"], cwd=source_dir, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    run = e2e.Run(process)
    try:
        wanted = ["[Info] C# script host started.", "[Info] Running project: BasicGame"]
        if not run.wait_for_output(wanted, START_TIMEOUT):
            if process.poll() is not None:
                fail("orvane ended with %d during start-up%s" % (process.returncode, run.transcript()))
            fail("start-up lines did not arrive within %.0f s%s" % (START_TIMEOUT, run.transcript()))
        run.expect_running(RUN_SECONDS, "orvane ended with %d while running")

        geometry = window_geometry(env)
        if geometry is None:
            fail("orvane's window was not found on " + env["DISPLAY"])
        width, height = geometry[0], geometry[1]
        if (width, height) != (960, 540):
            fail("window is %dx%d, project.json asks for 960x540" % (width, height))
        pixels = screenshot_rgb(env, geometry)
        if len(pixels) != width * height * 3:
            fail("screenshot has %d bytes for %dx%d" % (len(pixels), width, height))
        total = width * height
        counts = {}
        for i in range(0, len(pixels), 3):
            colour = pixels[i:i + 3]
            counts[colour] = counts.get(colour, 0) + 1
        drawn = total - counts.get(CLEAR, 0)
        commonest = max(counts.values())
        print("window %dx%d: %d pixels differ from the clear colour, %d colours, commonest covers %d"
              % (width, height, drawn, len(counts), commonest))
        if drawn < total // 20:
            fail("only %d pixels differ from the clear colour: nothing was drawn" % drawn)
        # An unpainted window is one flat colour too; the level has floor, walls,
        # player and gems.
        if len(counts) < 3 or commonest > total * 95 // 100:
            fail("the window shows one flat colour, not the game")

        # Hold Right: the player (its sprite's own colour) walks to the right.
        player = dominant_opaque_colour(os.path.join(source_dir, "samples/BasicGame/assets/player.png"))
        if player is None:
            fail("assets/player.png has no opaque pixels")
        before = leftmost_column(pixels, width, player)
        if before is None:
            fail("the player is not in the window")
        keyboard = FakeInput(env["DISPLAY"])
        try:
            keyboard.key(FakeInput.XK_RIGHT, True)
            time.sleep(0.4)
        finally:
            keyboard.key(FakeInput.XK_RIGHT, False)
            keyboard.close()
        time.sleep(0.5)
        after = leftmost_column(screenshot_rgb(env, geometry), width, player)
        print("player's left edge: %s before, %s after holding Right" % (before, after))
        if after is None or after < before + 20:
            fail("the player did not walk right while Right was held")
        time.sleep(0.3)
        later = leftmost_column(screenshot_rgb(env, geometry), width, player)
        if later != after:
            fail("the player kept walking after Right was released (%s, then %s)" % (after, later))

        process.send_signal(signal.SIGTERM)
        code = run.wait(timeout=10)
        if code != 0:
            fail("exit code %d after SIGTERM, expected 0%s" % (code, run.transcript()))
        errors = [line for line in run.err_lines if line.startswith("[Error]")]
        if errors:
            fail("error lines: " + "; ".join(errors))
        print("PASS")
        return 0
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


if __name__ == "__main__":
    sys.exit(main())
