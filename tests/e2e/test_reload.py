#!/usr/bin/env python3
"""Reloading with the real C# host: a small game is rebuilt with another colour
while orvane --watch runs it; the next frames show the new colour, the window is
the same X window, no texture was decoded again, and the state hooks carried the
game's frame counter across. Linux only (the Windows build has no .NET here)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import e2e_support as e2e
from e2e_support import fail

GAME = r'''
using Orvane;

namespace ReloadProbe;

public sealed class ProbeGame : Game
{
    private const byte Red = RED, Green = GREEN, Blue = BLUE;
    private int frames;

    protected override void OnUpdate(float dt)
    {
        frames++;
        Draw.Rect(0, 0, 320, 200, new Color(Red, Green, Blue));
        Draw.Sprite("assets/probe.png", 10, 10, 16, 16, Color.White);
        if (frames % 20 == 0)
        {
            Log.Info("frames " + frames);
        }
    }

    protected override string? SaveState() => frames.ToString();

    protected override void RestoreState(string state)
    {
        frames = int.Parse(state);
        Log.Info("restored " + state);
    }
}
'''

PROJECT = '''<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup>
    <TargetFramework>net8.0</TargetFramework>
    <Nullable>enable</Nullable>
  </PropertyGroup>
  <ItemGroup>
    <ProjectReference Include="%s" Private="false" />
  </ItemGroup>
</Project>
'''


def write_game(folder, colour):
    source = GAME.replace("RED", str(colour[0])).replace("GREEN", str(colour[1])).replace("BLUE", str(colour[2]))
    with open(os.path.join(folder, "ProbeGame.cs"), "w") as f:
        f.write(source)


def build(folder):
    result = subprocess.run(["dotnet", "build", folder, "-nologo", "-v", "q"], capture_output=True, text=True)
    if result.returncode != 0:
        fail("the probe game did not build:\n" + result.stdout + result.stderr)


def window_id(env):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, env=env)
    for line in tree.stdout.splitlines():
        if '("orvane"' in line:
            match = re.search(r"(0x[0-9a-f]+)", line)
            if match:
                return match.group(1)
    return None


def main():
    args = e2e.parse_args()
    if args.platform == "windows":
        print("SKIP: reloading the C# host is a Linux test (the Windows build runs under Wine without .NET)")
        return e2e.SKIP
    e2e.require_display()
    source_dir = os.path.abspath(args.source_dir)
    host = os.path.join(source_dir, "engine/csharp/ScriptHost/Orvane.ScriptHost.csproj")
    folder = tempfile.mkdtemp(prefix="orvane-reload-")
    problems = []
    try:
        game = os.path.join(folder, "ProbeGame")
        os.makedirs(os.path.join(game, "assets"))
        shutil.copy(os.path.join(source_dir, "tests/data/quad.png"), os.path.join(game, "assets/probe.png"))
        with open(os.path.join(game, "ProbeGame.csproj"), "w") as f:
            f.write(PROJECT % host)
        with open(os.path.join(game, "project.json"), "w") as f:
            f.write('{"name": "Probe", "mainClass": "ReloadProbe.ProbeGame", "startScene": "",'
                    ' "mainAssembly": "bin/Debug/net8.0/ProbeGame.dll", "width": 320, "height": 200}\n')
        write_game(game, (200, 30, 30))
        build(game)

        env = dict(os.environ)
        shot = os.path.join(folder, "after.png")
        process = subprocess.Popen([os.path.abspath(args.orvane), "--watch", "--screenshot", shot, game],
                                   cwd=source_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        run = e2e.Run(process)
        if not run.wait_for_output(["[Info] Running project: Probe"], 60):
            fail("the probe did not start" + run.transcript())
        time.sleep(1.5)
        before = window_id(env)
        write_game(game, (30, 30, 200))
        build(game)
        deadline = time.monotonic() + 30
        while not any(l.startswith("[Info] Reloaded ProbeGame.dll") for l in run.out_lines):
            if time.monotonic() > deadline or process.poll() is not None:
                process.kill()
                fail("no reload after the rebuild" + run.transcript())
            run.drain()
            time.sleep(0.1)
        time.sleep(1.0)
        after = window_id(env)
        process.terminate()
        code = run.wait(timeout=30)
        if code != 0:
            problems.append("exit code %d" % code)
        reloaded = [l for l in run.out_lines if l.startswith("[Info] Reloaded ProbeGame.dll")]
        if not reloaded or "0 changed textures" not in reloaded[0]:
            problems.append("the texture cache was not kept: %r" % reloaded)
        if before is None or before != after:
            problems.append("the window changed: %r before, %r after" % (before, after))
        restored = [l for l in run.out_lines if l.startswith("[Info] restored ")]
        counted = [int(l.split()[-1]) for l in run.out_lines if l.startswith("[Info] frames ")]
        if not restored or int(restored[0].split()[-1]) < 20:
            problems.append("the state hook did not carry the counter: %r" % restored)
        elif counted and max(counted) <= int(restored[0].split()[-1]):
            problems.append("the counter did not go on after the reload")
        if any("Texture" in l for l in run.out_lines):
            problems.append("a texture warning appeared: the image was decoded again or lost")
        if os.path.exists(shot):
            width, height, rows = e2e.read_png(shot)
            if rows[150][200] != (30, 30, 200):
                problems.append("after the reload the frame shows %r, expected the new colour" % (rows[150][200],))
        else:
            problems.append("no screenshot" + run.transcript())
        print("%s; window %s -> %s" % (reloaded[:1], before, after))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return e2e.report(problems)


if __name__ == "__main__":
    sys.exit(main())
