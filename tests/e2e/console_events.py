"""Console events on the Windows build under Wine: the ConsoleEvent helper starts
orvane.exe in a console of its own, sends the event and tells the exit code and
the time from the event to the end. Each event is one test script; an event Wine
cannot send makes that script skip with the reason."""

import os
import re
import subprocess
import time

import e2e_support as e2e

# The runtime's own end takes a few milliseconds; under Wine taking down its
# window costs about 2.1 s more on this machine (see test_fault_matrix).
END_LIMIT = 1.0 + 3.0
STOPPED_DURING_START = "[Error] Stopped while starting the script host."


def send_event(args, project, event, delay_ms):
    """Runs the runtime under ConsoleEvent; (helper result, exit code, seconds,
    stdout lines, stderr lines)."""
    out_file = os.path.join(project.root, "out.txt")
    err_file = os.path.join(project.root, "err.txt")
    env = project.environment()
    env["DOTNET_ROOT"] = project.path_for_runtime(project.dotnet_root)
    command = [args.emulator, os.environ["ORVANE_CONSOLE_EVENT"], event, str(delay_ms),
               e2e.windows_path(out_file), e2e.windows_path(err_file),
               e2e.windows_path(args.orvane), project.path_for_runtime(project.project)]
    helper = subprocess.run(command, cwd=project.work, env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=180)
    lines = []
    for path in (out_file, err_file):
        try:
            with open(path, "rb") as f:
                lines.append(f.read().decode("utf-8", errors="replace").splitlines())
        except OSError:
            lines.append([])
    match = re.search(r"exit (\d+) ms (\d+)", helper.stdout.decode(errors="replace"))
    code = int(match.group(1)) if match else None
    seconds = int(match.group(2)) / 1000.0 if match else None
    return helper, code, seconds, [l.rstrip("\r") for l in lines[0]], [l.rstrip("\r") for l in lines[1]]


def hosts_left(project):
    """Processes whose command line names the stand-in's folder, after a few seconds' grace."""
    deadline = time.monotonic() + 5.0
    while True:
        found = e2e.processes_naming(project.dotnet_root)
        if not found or time.monotonic() > deadline:
            return found
        time.sleep(0.1)


def run_event(event):
    """The whole test for one event: after frames ran, and during the READY wait."""
    args = e2e.parse_args()
    if args.platform != "windows":
        print("SKIP: console events are the Windows build's; the Linux build's signals are "
              "SIGTERM and SIGINT")
        return e2e.SKIP
    e2e.require_display()
    if not os.environ.get("ORVANE_CONSOLE_EVENT"):
        e2e.fail("ORVANE_CONSOLE_EVENT must name the ConsoleEvent helper")
    problems = []
    # (what, scenario, delay, exit code, error lines, SHUTDOWN expected)
    cases = [
        ("after frames ran", "send READY\nserve\n", 6000, 0, [], True),
        # Wine starts the runtime in about a second; READY's wait is 5 s.
        ("in the READY wait", "hang\n", 2000, 1, [STOPPED_DURING_START], False),
    ]
    for what, scenario, delay, exit_code, errors, shutdown in cases:
        with e2e.Project(args, name="Console") as project:
            project.write_scenario(project.record_command() + scenario)
            helper, code, seconds, out_lines, err_lines = send_event(args, project, event, delay)
            if helper.returncode == 2:
                print("SKIP: Wine cannot send this event: " + helper.stderr.decode(errors="replace").strip())
                return e2e.SKIP
            transcript = ("\n--- helper: %s %s\n--- stdout:\n%s\n--- stderr:\n%s" % (
                helper.stdout.decode(errors="replace"), helper.stderr.decode(errors="replace"),
                "\n".join(out_lines), "\n".join(err_lines)))
            if helper.returncode != 0 or code is None:
                problems.append("%s: the run did not end after the event (%d)%s"
                                % (what, helper.returncode, transcript))
                continue
            received = project.recorded_lines()
            print("%s: exit %d, ended %.2f s after the event, %d FRAME lines" % (
                what, code, seconds, sum(1 for line in received if line.startswith("FRAME|"))))
            if code != exit_code:
                problems.append("%s: exit code %d, expected %d" % (what, code, exit_code))
            if seconds > END_LIMIT:
                problems.append("%s: ended %.2f s after the event, limit %.2f s" % (what, seconds, END_LIMIT))
            found_errors = [line for line in err_lines if line.startswith("[")]
            if found_errors != errors:
                problems.append("%s: error lines %r, expected %r" % (what, found_errors, errors))
            if shutdown:
                if not any(line.startswith("FRAME|") for line in received):
                    problems.append("%s: no frame ran before the event" % what)
                if "SHUTDOWN" not in received:
                    problems.append("%s: the host was not sent SHUTDOWN" % what)
            if problems and problems[-1].startswith(what):
                problems[-1] += transcript
            left = hosts_left(project)
            if left:
                problems.append("%s: host processes left: %r" % (what, left))
                for pid in left:
                    try:
                        os.kill(pid, 9)
                    except OSError:
                        pass
    return e2e.report(problems)
