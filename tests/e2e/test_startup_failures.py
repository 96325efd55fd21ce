#!/usr/bin/env python3
"""Every start-up failure of the runtime ends it with exit code 1 after exactly
one error line naming the cause; the script host is never asked to start the game."""

import os
import sys

import e2e_support as e2e

NO_MAIN_CLASS = '{ "name": "No Class", "mainAssembly": "Game.dll" }\n'


def names_path(prefix, wanted):
    """The error line starts with `prefix` and names the path `wanted`."""
    return lambda line: (line.startswith(prefix) and
                         os.path.normpath(e2e.host_path(line[len(prefix):])) == os.path.normpath(wanted))


def without_project_file(project, name, prefix):
    os.remove(os.path.join(project.project, name))
    return names_path(prefix, os.path.join(os.path.realpath(project.project), name))


def case_no_project_file(project):
    return without_project_file(project, "project.json", "[Error] Could not open file: ")


def case_no_main_class(project):
    with open(os.path.join(project.project, "project.json"), "w") as f:
        f.write(NO_MAIN_CLASS)
    return lambda line: line == "[Error] project.json must define mainClass."


def case_no_script_host(project):
    os.remove(os.path.join(project.host_folder, e2e.HOST_FILE))
    # Nothing found anywhere: the message names the current-directory candidate.
    return names_path("[Error] Script host was not found: ",
                      os.path.join(os.path.realpath(project.work), e2e.HOST_FOLDER, e2e.HOST_FILE))


def case_no_game_assembly(project):
    return without_project_file(project, "Game.dll", "[Error] Game assembly was not found: ")


def case_host_cannot_start(project):
    # The .NET host search finds an entry of the right name, but it is a folder.
    name = "dotnet.exe" if project.windows else "dotnet"
    os.remove(os.path.join(project.dotnet_root, name))
    os.makedirs(os.path.join(project.dotnet_root, name))
    return lambda line: line == ("[Error] Could not start .NET script host. "
                                 "Make sure dotnet is available on PATH.")


def case_host_never_ready(project):
    project.write_scenario(project.record_command() + "hang\n")
    return lambda line: line == "[Error] Script host did not become ready."


CASES = [
    ("project.json missing", case_no_project_file),
    ("project.json without mainClass", case_no_main_class),
    ("script host missing", case_no_script_host),
    ("game assembly missing", case_no_game_assembly),
    (".NET host cannot be started", case_host_cannot_start),
    ("script host never says READY", case_host_never_ready),
]


def main():
    args = e2e.parse_args()
    e2e.require_display()
    failures = []
    for name, prepare in CASES:
        with e2e.Project(args) as project:
            matches = prepare(project)
            run = project.start()
            code = run.wait(timeout=120)
            errors = run.error_lines()
            problems = []
            if code != 1:
                problems.append("exit code %d, expected 1" % code)
            if len(errors) != 1 or not matches(errors[0]):
                problems.append("error lines: %r" % errors)
            if any(line.startswith("[Info] Running project:") for line in run.out_lines):
                problems.append("the game loop was started")
            # Nothing beyond READY was ever sent to the host.
            if project.recorded_lines():
                problems.append("the host received %r" % project.recorded_lines())
            if problems:
                failures.append("%s: %s%s" % (name, "; ".join(problems), run.transcript()))
            print("%-32s %s" % (name, "FAIL" if problems else "ok"))
    return e2e.report(failures)


if __name__ == "__main__":
    sys.exit(main())
