#!/usr/bin/env python3
"""Making a game the way a newcomer does, on the packed feed (build/feed, made by
scripts/setup-sdk), in a temporary folder outside the repository with its own
dotnet home and NuGet packages folder (the machine's NuGet source still serves
the .NET reference packs):

  setup-sdk --register-only, dotnet new orvane -n Probe, dotnet build, the
  package's runtime on the game (--headless --frames 60 --screenshot), dotnet run
  -- --headless --frames 30, dotnet publish and the published folder on its own;
  and the failures: no runtime for the platform, no display, no project.json.

Every run is headless without a display, and each screenshot must show the
template's sprite where the game puts it.

    python3 tests/package/test_game_package.py [--source-dir DIR] [--keep]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_support as e2e  # noqa: E402

SPRITE_BODY = (90, 200, 120)        # assets/hero.png's body colour
SPRITE_BOX = (296, 156, 344, 204)   # where the hero starts: the middle of 640x360
TIMEOUT = 600


class Session:
    def __init__(self, source_dir, root):
        self.source_dir = source_dir
        self.root = root
        self.problems = []
        self.env = dict(os.environ)
        home = os.path.join(root, "home")
        os.makedirs(home)
        self.env.update({
            "HOME": home,
            "DOTNET_CLI_HOME": home,
            "NUGET_PACKAGES": os.path.join(root, "packages"),
            "DOTNET_NOLOGO": "1",
            "DOTNET_CLI_TELEMETRY_OPTOUT": "1",
            "DOTNET_SKIP_FIRST_TIME_EXPERIENCE": "1",
        })
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DOTNET_ROOT", "MSBUILDNOINPROCNODE"):
            self.env.pop(name, None)

    def run(self, command, cwd, expect=0, name=None):
        """Runs a command to its end; a wrong exit code is a problem. Returns
        (exit code, stdout + stderr)."""
        name = name or " ".join(command)
        print("--> " + name, flush=True)
        try:
            result = subprocess.run(command, cwd=cwd, env=self.env, capture_output=True, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.problems.append("%s: no end within %d s" % (name, TIMEOUT))
            return None, ""
        output = (result.stdout + result.stderr).decode("utf-8", errors="replace")
        if expect is not None and result.returncode != expect:
            self.problems.append("%s: exit code %d, expected %d\n%s" % (name, result.returncode, expect, output))
        return result.returncode, output

    def check(self, condition, message):
        if not condition:
            self.problems.append(message)
        return condition

    def check_sprite(self, shot, name):
        if not self.check(os.path.isfile(shot), "%s: no screenshot %s" % (name, shot)):
            return
        width, height, rows = e2e.read_png(shot)
        self.check((width, height) == (640, 360), "%s: screenshot is %dx%d, not 640x360" % (name, width, height))
        found = [(x, y) for y, row in enumerate(rows) for x, colour in enumerate(row) if colour == SPRITE_BODY]
        # 16x16 texels stretched to 48x48: the body is most of it.
        if not self.check(len(found) > 900, "%s: %d pixels of the sprite's colour, expected the sprite"
                          % (name, len(found))):
            return
        left, top, right, bottom = SPRITE_BOX
        outside = [p for p in found if not (left <= p[0] < right and top <= p[1] < bottom)]
        self.check(not outside, "%s: sprite pixels outside %r, e.g. %r" % (name, SPRITE_BOX, outside[:3]))
        print("    %s: sprite drawn (%d pixels)" % (name, len(found)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source-dir", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    source_dir = os.path.abspath(args.source_dir)
    with open(os.path.join(source_dir, "VERSION")) as f:
        version = f.read().strip()
    feed = os.path.join(source_dir, "build", "feed")
    for package in ("Orvane", "Orvane.Templates"):
        if not os.path.isfile(os.path.join(feed, "%s.%s.nupkg" % (package, version))):
            e2e.fail("%s/%s.%s.nupkg is missing: run scripts/setup-sdk --pack-only first" % (feed, package, version))

    root = tempfile.mkdtemp(prefix="orvane-package-")
    try:
        s = Session(source_dir, root)
        games = os.path.join(root, "games")
        os.makedirs(games)
        game = os.path.join(games, "Probe")

        s.run([os.path.join(source_dir, "scripts", "setup-sdk"), "--register-only"], cwd=root)
        s.run(["dotnet", "new", "orvane", "-n", "Probe"], cwd=games)
        if not s.check(os.path.isfile(os.path.join(game, "project.json")), "dotnet new made no project.json"):
            return e2e.report(s.problems)

        s.run(["dotnet", "build", "-nologo"], cwd=game)
        output = os.path.join(game, "bin", "Debug", "net8.0")
        s.check(os.path.isfile(os.path.join(output, "Probe.dll")), "the build made no Probe.dll")
        s.check(not os.path.exists(os.path.join(output, "Orvane.ScriptHost.dll")),
                "the game's output carries its own copy of the game API")
        s.check(not os.path.exists(os.path.join(output, "runtimes")), "the game's output carries the runtimes")

        runtime = os.path.join(root, "packages", "orvane", version, "runtimes", "linux-x64", "native")
        for part in ("orvane", "ScriptHost/Orvane.ScriptHost.dll", "fonts/DejaVuSans.ttf"):
            s.check(os.path.isfile(os.path.join(runtime, part)), "the package's linux-x64 runtime lacks " + part)
        win_runtime = os.path.join(root, "packages", "orvane", version, "runtimes", "win-x64", "native")
        for part in ("orvane.exe", "ScriptHost/Orvane.ScriptHost.dll", "fonts/DejaVuSans.ttf"):
            s.check(os.path.isfile(os.path.join(win_runtime, part)), "the package's win-x64 runtime lacks " + part)

        shot = os.path.join(root, "built.png")
        s.run([os.path.join(runtime, "orvane"), "--headless", "--frames", "60", "--screenshot", shot, game],
              cwd=root, name="orvane --headless --frames 60 on the built game")
        s.check_sprite(shot, "built game")

        shot = os.path.join(root, "run.png")
        code, text = s.run(["dotnet", "run", "--", "--headless", "--frames", "30", "--screenshot", shot], cwd=game)
        s.check("Running project: Probe" in text, "dotnet run: the runtime did not run the game\n" + text)
        s.check_sprite(shot, "dotnet run")

        published = os.path.join(root, "published")
        s.run(["dotnet", "publish", "-nologo", "-o", published], cwd=game)
        for part in ("orvane", "ScriptHost/Orvane.ScriptHost.dll", "fonts/DejaVuSans.ttf", "Probe.dll",
                     "project.json", "assets/hero.png"):
            s.check(os.path.isfile(os.path.join(published, part)), "the published folder lacks " + part)
        with open(os.path.join(published, "project.json")) as f:
            s.check('"mainAssembly": "Probe.dll"' in f.read(), "published project.json does not name Probe.dll")
        # Elsewhere than the game and without an argument: the folder runs by itself.
        shutil.rmtree(game + "-moved", ignore_errors=True)
        os.rename(game, game + "-moved")
        shot = os.path.join(root, "published.png")
        s.run([os.path.join(published, "orvane"), "--headless", "--frames", "60", "--screenshot", shot],
              cwd=root, name="published orvane --headless --frames 60")
        s.check_sprite(shot, "published folder")
        os.rename(game + "-moved", game)

        win_published = os.path.join(root, "published-win")
        s.run(["dotnet", "publish", "-nologo", "-o", win_published, "-p:OrvaneRuntimeIdentifier=win-x64"],
              cwd=game, name="dotnet publish for win-x64")
        for part in ("orvane.exe", "ScriptHost/Orvane.ScriptHost.dll", "Probe.dll", "project.json"):
            s.check(os.path.isfile(os.path.join(win_published, part)), "the win-x64 publish lacks " + part)

        code, text = s.run(["dotnet", "run", "-p:OrvaneRuntimeIdentifier=osx-arm64", "--", "--headless"],
                           cwd=game, expect=None, name="dotnet run for a platform without a runtime")
        s.check(code not in (0, None) and "ORVANE001" in text and "no runtime for osx-arm64" in text
                and "linux-x64, win-x64" in text, "no runtime for osx-arm64: exit code %r\n%s" % (code, text))

        code, text = s.run(["dotnet", "run", "--", "--frames", "5"], cwd=game, expect=None,
                           name="dotnet run without a display")
        s.check(code == 1 and "no display is available" in text and "--headless" in text,
                "dotnet run without a display: exit code %r, no hint at --headless\n%s" % (code, text))

        os.remove(os.path.join(game, "project.json"))
        code, text = s.run(["dotnet", "run", "--", "--headless"], cwd=game, expect=None,
                           name="dotnet run without project.json")
        s.check(code not in (0, None) and "ORVANE002" in text and "has no project.json" in text,
                "dotnet run without project.json: exit code %r\n%s" % (code, text))
        return e2e.report(s.problems)
    finally:
        if args.keep:
            print("kept " + root)
        else:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
