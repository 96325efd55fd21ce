#!/usr/bin/env python3
"""A recorded run of BasicGame with the real C# host (the player walked right by a
held key, through XTEST under Xvfb) replays headless to the same frame digests;
the same recording with the key presses taken out reports the frame where the
game went another way; a truncated or foreign file is refused before anything
starts. Linux only: the Windows build runs under Wine without .NET here."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import e2e_support as e2e
from e2e_support import fail

START_TIMEOUT = 60.0


def run(orvane, source_dir, arguments, env, timeout=120):
    process = subprocess.Popen([orvane] + arguments, cwd=source_dir, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    result = e2e.Run(process)
    code = result.wait(timeout=timeout)
    return code, result


def record(orvane, source_dir, recording, env):
    from xtest import FakeInput
    process = subprocess.Popen([orvane, "--record", recording, "--frames", "150", "samples/BasicGame"],
                               cwd=source_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    result = e2e.Run(process)
    if not result.wait_for_output(["[Info] Running project: BasicGame"], START_TIMEOUT):
        process.kill()
        fail("the recorded run did not start" + result.transcript())
    keyboard = FakeInput(env["DISPLAY"])
    try:
        time.sleep(0.2)
        keyboard.key(FakeInput.XK_RIGHT, True)
        time.sleep(0.4)
        keyboard.key(FakeInput.XK_RIGHT, False)
    finally:
        keyboard.close()
    code = result.wait(timeout=120)
    if code != 0:
        fail("the recorded run ended with %d%s" % (code, result.transcript()))


def main():
    args = e2e.parse_args()
    if args.platform == "windows":
        print("SKIP: replaying the C# sample is a Linux test (the Windows build runs under Wine without .NET)")
        return e2e.SKIP
    e2e.require_display()
    source_dir = os.path.abspath(args.source_dir)
    if not os.path.exists(os.path.join(source_dir, "samples/BasicGame/bin/Debug/net8.0/BasicGame.dll")):
        fail("build the C# projects first (dotnet build samples/BasicGame/BasicGame.csproj)")
    orvane = os.path.abspath(args.orvane)
    env = dict(os.environ)
    folder = tempfile.mkdtemp(prefix="orvane-replay-")
    problems = []
    try:
        recording = os.path.join(folder, "run.rec")
        record(orvane, source_dir, recording, env)
        with open(recording, encoding="utf-8") as f:
            text = f.read()
        if "> KEY|39|1" not in text:
            problems.append("the recording holds no press of Right")

        code, result = run(orvane, source_dir, ["--headless", "--replay", recording, "samples/BasicGame"], env)
        if code != 0 or "[Info] Replay matched 150 frames" not in result.out_lines:
            problems.append("the replay did not match (exit %d)%s" % (code, result.transcript()))

        # The same run without the player's key: the game goes another way.
        changed = os.path.join(folder, "changed.rec")
        with open(changed, "w", encoding="utf-8") as f:
            for line in text.splitlines():
                if line.startswith("> KEY|39|"):
                    continue
                if line.startswith("> FRAME|"):
                    head, keys = line.rsplit("|", 1)
                    line = head + "|" + ",".join(k for k in keys.split(",") if k and k != "39")
                f.write(line + "\n")
        code, result = run(orvane, source_dir, ["--headless", "--replay", changed, "samples/BasicGame"], env)
        diverged = [l for l in result.err_lines if l.startswith("[Error] Replay diverged at frame ")]
        if code != 1 or not diverged:
            problems.append("the changed run was not reported as diverged (exit %d)%s" % (code, result.transcript()))
        else:
            frame = int(diverged[0].rsplit(" ", 1)[1])
            first_key = next(i for i, block in enumerate(text.split("\n= ")) if "> KEY|39|1" in block) + 1
            if frame < first_key:
                problems.append("diverged at frame %d, before the first key press (frame %d)" % (frame, first_key))
            print("without the key the replay diverged at frame %d (the key went down in frame %d)" % (frame, first_key))

        # Not a recording, a cut one, another game's: refused before anything starts.
        truncated = os.path.join(folder, "cut.rec")
        with open(truncated, "w", encoding="utf-8") as f:
            f.write(text[:len(text) // 2])
        foreign = os.path.join(folder, "foreign.rec")
        with open(foreign, "w", encoding="utf-8") as f:
            f.write(text.replace("main-class BasicGame.BasicGameMain", "main-class Other.Game", 1))
        for bad, wanted in ((truncated, "incomplete"), (foreign, "another game"),
                            (os.path.join(source_dir, "README.md"), "not an orvane recording")):
            started = time.monotonic()
            code, result = run(orvane, source_dir, ["--headless", "--replay", bad, "samples/BasicGame"], env)
            errors = result.error_lines()
            if code != 1 or len(errors) != 1 or wanted not in errors[0]:
                problems.append("%s: expected one error about '%s', exit 1; got %d, %r" % (bad, wanted, code, errors))
            if any("script host started" in l for l in result.out_lines) or time.monotonic() - started > 10:
                problems.append("%s: the game was started before the recording was refused" % bad)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return e2e.report(problems)


if __name__ == "__main__":
    sys.exit(main())
