#!/usr/bin/env python3
"""The error screen of a version-2 run: a host that throws and then ends leaves
its last frame on screen under a panel (its red edge and text), the end is
noticed at once instead of frame after frame of waiting, R starts a new host in
the same window and the panel goes; a version-1 host that ends gets no panel and
the empty frames it always had."""

import os
import re
import subprocess
import sys
import time

import e2e_support as e2e

START_TIMEOUT = 60.0
GREEN = (0, 160, 0)
BLUE = (0, 0, 200)
PANEL_EDGE = (220, 60, 60)
CLEAR = (18, 20, 26)


def scenario_crashing(record):
    return (record + "send PROTOCOL|2\nsend READY\nexpect START\nsend STARTED\n" +
            "await FRAME|\nsend FILL|0|0|320|200|0|160|0|255\nsend END_FRAME\n" * 5 +
            "await FRAME|\nsend ERROR|Game update failed: InvalidOperationException: The gem is gone\n"
            "send LOG|Error|   at BasicGame.LevelScene.OnUpdate(Single dt)\n"
            "send FILL|0|0|320|200|0|160|0|255\nsend END_FRAME\nawait FRAME|\nexit 3\n")


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []

    # A host that throws and ends: the panel over the last frame, at once.
    with e2e.Project(args, name="Crashing Game") as project:
        project.write_scenario(scenario_crashing(""))
        shot = os.path.join(project.root, "crash.png")
        started = time.monotonic()
        run = project.start(options=["--frames", "60", "--screenshot", project.path_for_runtime(shot)])
        code = run.wait(timeout=120)
        seconds = time.monotonic() - started
        if code != 0:
            problems.append("exit code %d after the crash, expected 0" % code)
        if "[Error] The game's script host has ended." not in run.err_lines:
            problems.append("the host's end was not reported" + run.transcript())
        # 60 frames with an ended host: version 1 would wait 500 ms for each.
        if seconds > 20:
            problems.append("the run took %.1f s: the ended host's frames were waited out" % seconds)
        if os.path.exists(shot):
            width, height, rows = e2e.read_png(shot)
            edge = rows[60][26]
            outside = rows[height - 5][width // 2]
            if edge != PANEL_EDGE:
                problems.append("the panel's edge is %r, expected %r" % (edge, PANEL_EDGE))
            if outside != GREEN:
                problems.append("below the panel the last frame should show: %r, expected %r" % (outside, GREEN))
            inside = rows[40][100]
            if inside in (GREEN, CLEAR):
                problems.append("the panel's box is not drawn over the frame: %r" % (inside,))
            # The title is light red and the message near white, on the dark panel.
            texty = sum(1 for x in range(40, 300) for y in range(30, 110) if rows[y][x][0] >= 200)
            if texty < 30:
                problems.append("no text on the panel (%d bright pixels)" % texty)
            # The exception's message, near white, below the title.
            message = sum(1 for x in range(40, 300) for y in range(62, 80) if min(rows[y][x]) >= 200)
            if message < 20:
                problems.append("the exception's message is not on the panel (%d white pixels)" % message)
        else:
            problems.append("no screenshot was saved" + run.transcript())

    # R restarts: a new host in the same window, the panel gone.
    with e2e.Project(args, name="Restarted Game") as project:
        project.write_scenario(scenario_crashing(""))
        shot = os.path.join(project.root, "restarted.png")
        run = project.start(options=["--screenshot", project.path_for_runtime(shot)])
        run.expect_output(["[Info] Running project: Restarted Game"], START_TIMEOUT, "the run did not start")
        deadline = time.monotonic() + 30
        while "[Error] The game's script host has ended." not in run.err_lines and time.monotonic() < deadline:
            run.drain()
            time.sleep(0.1)
        project.write_scenario("send PROTOCOL|2\nsend READY\nframe FILL|0|0|320|200|0|0|200|255\nserve\n")
        if project.windows:
            project.drive_window(["--post", "0x100", "82", "1", "--sleep", "50",
                                  "--post", "0x101", "82", "0xC0000001", "--sleep", "2500"])
        else:
            from xtest import FakeInput
            fake = FakeInput(project.environment()["DISPLAY"])
            geometry = window_position(project.environment())
            if geometry:
                fake.move(geometry[0] + 10, geometry[1] + 10)
            time.sleep(0.5)
            fake.tap(0x72)   # r, pressed and released at once: the press still counts
            fake.close()
            time.sleep(2.5)
            project.close_window(run)
        code = run.wait(timeout=60)
        if code != 0:   # the crash's error lines are expected; the end must be clean
            problems.append("exit code %d after the restart, expected 0" % code)
        if not any(line.startswith("[Info] Reloaded ") for line in run.out_lines):
            problems.append("R did not restart the game" + run.transcript())
        if os.path.exists(shot):
            width, height, rows = e2e.read_png(shot)
            if rows[60][26] != BLUE or rows[100][160] != BLUE:
                problems.append("after the restart the new host's frame should fill the window: %r, %r"
                                % (rows[60][26], rows[100][160]))
        else:
            problems.append("no screenshot after the restart" + run.transcript())

    # Version 1: no panel, the frames it always had.
    with e2e.Project(args, name="Old Game") as project:
        project.write_scenario("send READY\nexpect START\nsend STARTED\nawait FRAME|\n"
                               "send RECT|0|0|320|200|0|160|0\nsend END_FRAME\nawait FRAME|\nexit 3\n")
        shot = os.path.join(project.root, "old.png")
        run = project.start(options=["--frames", "6", "--screenshot", project.path_for_runtime(shot)])
        code = run.wait(timeout=120)
        if code != 0 or any("script host has ended" in line for line in run.err_lines):
            problems.append("a version-1 host's end changed the run: exit %d%s" % (code, run.transcript()))
        if os.path.exists(shot):
            width, height, rows = e2e.read_png(shot)
            if rows[60][26] != CLEAR:
                problems.append("a version-1 run shows %r where nothing was drawn" % (rows[60][26],))
    return e2e.report(problems)


def window_position(env):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, env=env)
    for line in tree.stdout.splitlines():
        if '("orvane"' in line:
            match = re.search(r"\d+x\d+\+(-?\d+)\+(-?\d+)", line)
            if match:
                return int(match.group(1)), int(match.group(2))
    return None


if __name__ == "__main__":
    sys.exit(main())
