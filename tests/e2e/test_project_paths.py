#!/usr/bin/env python3
"""A project folder with spaces and non-ASCII characters, a UTF-8 main class
and an empty start scene: the script host receives all six arguments intact,
runs in the project folder, and the run ends normally."""

import os
import shutil
import sys

import e2e_support as e2e

MAIN_CLASS = "Spiel.Größe"
FOLDER = "Mein Spiel ü ✓"


def reported(lines, key):
    marker = "[Info] [ScriptHost] " + key + "|"
    return [line[len(marker):] for line in lines if line.startswith(marker)]


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []
    with e2e.Project(args, name="Pfad Test", main_class=MAIN_CLASS, start_scene="") as project:
        # Move the project into a folder whose name needs more than ASCII.
        moved = os.path.join(project.work, FOLDER)
        shutil.move(project.project, moved)
        project.project = moved
        project.write_scenario("args\nsend READY\nserve\n")

        run = project.start()
        run.expect_output(["[Info] Running project: Pfad Test"], 60.0, "the run did not start")
        project.close_window(run)
        code = run.wait(timeout=60)

        arguments = reported(run.out_lines, "ARG")
        folder = os.path.realpath(moved)
        expected_tail = {"3": MAIN_CLASS, "5": ""}
        values = dict(entry.split("|", 1) for entry in arguments if "|" in entry)
        if reported(run.out_lines, "ARGC") != ["6"]:
            problems.append("argument count %r, expected 6" % reported(run.out_lines, "ARGC"))
        for index, wanted in expected_tail.items():
            if values.get(index) != wanted:
                problems.append("argument %s is %r, expected %r" % (index, values.get(index), wanted))
        if e2e.host_path(values.get("4", "")) != folder:
            problems.append("project folder argument %r, expected %r" % (values.get("4"), folder))
        if e2e.host_path(values.get("2", "")) != os.path.join(folder, "Game.dll"):
            problems.append("game assembly argument %r" % values.get("2"))
        cwd = reported(run.out_lines, "CWD")
        if len(cwd) != 1 or e2e.host_path(cwd[0]) != folder:
            problems.append("host ran in %r, expected the project folder %r" % (cwd, folder))
        problems += run.unclean_end(code)
        return e2e.report(problems, run)


if __name__ == "__main__":
    sys.exit(main())
