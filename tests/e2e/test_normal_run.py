#!/usr/bin/env python3
"""A normal run: the script host starts, the runtime sends START and one FRAME
line per frame (time step at most 0.05 s, held keys), and closing the window
sends SHUTDOWN and ends the runtime with exit code 0."""

import re
import sys

import e2e_support as e2e

FRAME = re.compile(r"^FRAME\|([^|]+)\|([0-9,]*)$")
VK_RIGHT = 39
START_TIMEOUT = 60.0


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []
    with e2e.Project(args, name="E2E Game") as project:
        project.write_scenario(project.record_command() +
                               "send READY\n"
                               "frame RECT|10|20|30|40|255|0|0\n"
                               "frame LOG|Info|drawn\n"
                               "serve\n")
        run = project.start()
        wanted = ["[Info] C# script host started.", "[Info] Running project: E2E Game"]
        run.expect_output(wanted, START_TIMEOUT, "start-up lines did not arrive")
        run.expect_running(1.5, "the runtime ended on its own with %d")
        hold = [(VK_RIGHT, 400)] if project.windows else []
        project.close_window(run, hold_keys=hold)
        code = run.wait(timeout=60)

        problems += run.unclean_end(code)
        out = run.out_lines
        if out.index(wanted[0]) > out.index(wanted[1]):
            problems.append("'Running project' came before the host was started")
        if "[Info] drawn" not in out:
            problems.append("the host's LOG lines were not logged")

        lines = project.recorded_lines()
        if len(lines) < 7 or lines[0] != "START" or lines[-1] != "SHUTDOWN":
            problems.append("the host received %r, expected START, frames, SHUTDOWN" % lines[:5])
        frames = lines[1:-1]
        keys_seen = set()
        for line in frames:
            match = FRAME.match(line)
            if not match:
                problems.append("not a frame line: %r" % line)
                break
            dt = float(match.group(1))
            if not 0.0 <= dt <= 0.05:
                problems.append("time step out of range: %r" % line)
            keys_seen.add(match.group(2))
        if frames and FRAME.match(frames[0]) and FRAME.match(frames[0]).group(2) != "":
            problems.append("keys held in the first frame: %r" % frames[0])
        if project.windows and str(VK_RIGHT) not in keys_seen:
            problems.append("no frame carried the held Right key (%d); keys seen: %r"
                            % (VK_RIGHT, sorted(keys_seen)))
        print("%d frames, key lists seen: %r" % (len(frames), sorted(keys_seen)))
        return e2e.report(problems, run)


if __name__ == "__main__":
    sys.exit(main())
