#!/usr/bin/env python3
"""Hostile and broken script hosts, one run each, in parallel: hosts that exit or
hang before READY, after READY, after STARTED and in the middle of a frame, that
flood without a line feed, write a 50 MB line, stop reading, write NUL, CR and
invalid UTF-8, send a million rectangles or thousands of overlapping colliders
per frame; and a runtime that is killed outright.

Each run checks: the frame loop keeps its limits (the longest gap between two
FRAME lines the host received, or the time from the close request to the end),
the exit code, that no zombie child and no host process remain, and the
runtime's peak memory. Prints the matrix as a table.

The checks read /proc. The Windows build runs under Wine, where orvane.exe and
the stand-in are Linux processes whose command lines name the .exe: the window
is closed by the CloseWindow helper (WM_CLOSE) instead of SIGTERM, and the cases
and checks that cannot apply there say why."""

import concurrent.futures
import os
import signal
import subprocess
import sys
import time

import e2e_support as e2e

# The protocol's waits: 500 ms for END_FRAME, 500 ms for a stalled write, 300 ms
# for the host to leave after SHUTDOWN; a frame may meet the first two.
FRAME_GAP_LIMIT = 0.5 + 0.5 + 0.5
# A version-1 frame has no cap on draw commands: what arrived in the 500 ms is drawn.
DRAWING_LIMIT = FRAME_GAP_LIMIT + 1.5
# Under Wine each of those hundreds of thousands of rectangles is a GDI FillRect of
# some microseconds: such a frame took 1.6 s on a quiet machine and 4.0 s with the
# other tests running beside it.
WINE_DRAWING_LIMIT = FRAME_GAP_LIMIT + 6.5
CLOSE_LIMIT = 0.5 + 0.5 + 0.3 + 0.7
# Under Wine, taking down the window after the run has ended costs about 2.1 s
# here (a --headless run ends 0.1 s after its last frame, a windowed one 2.1 s);
# the close time there includes it.
WINE_WINDOW_TEARDOWN = 3.0
READY_WAIT = 5.0
MEMORY_LIMIT_MB = 400

STARTED = "send READY\nexpect START\nsend STARTED\n"
MID_FRAME = STARTED + "await FRAME|\nsend RECT|1|1|1|1|1|1|1\n"


class Case:
    def __init__(self, name, scenario, exit_code=0, close_after=1.5, stamped=False,
                 error_line=None, kill_runtime=False, wait_for_loop=True, gap_limit=FRAME_GAP_LIMIT,
                 warning=None, platforms=("linux", "windows")):
        self.name = name
        self.scenario = scenario
        self.exit_code = exit_code
        self.close_after = close_after     # seconds after the start-up (None: do not close)
        self.stamped = stamped             # the host records FRAME lines with times
        self.error_line = error_line       # the one "[Error] " line expected, if any
        self.kill_runtime = kill_runtime
        self.wait_for_loop = wait_for_loop
        self.gap_limit = gap_limit
        self.warning = warning             # a warning the run must write exactly once
        self.platforms = platforms


CASES = [
    Case("exits before READY", "exit 0\n", exit_code=1, close_after=None, wait_for_loop=False,
         error_line="[Error] Script host did not become ready."),
    Case("exits after READY", "send READY\nexit 0\n"),
    Case("exits after STARTED", STARTED + "exit 0\n"),
    Case("exits mid-frame", MID_FRAME + "exit 0\n"),
    # Closed during the start-up wait. On Windows the window is not pumped in that
    # wait, so a WM_CLOSE is only seen after it: there READY's wait runs out instead.
    Case("hangs before READY", "hang\n", exit_code=1, close_after=1.0, wait_for_loop=False,
         error_line="[Error] Stopped while starting the script host.", platforms=("linux",)),
    Case("hangs after READY", "send READY\nhang\n", exit_code=1, close_after=1.0, wait_for_loop=False,
         error_line="[Error] Stopped while starting the script host.", platforms=("linux",)),
    Case("hangs before READY, not closed", "hang\n", exit_code=1, close_after=None, wait_for_loop=False,
         error_line="[Error] Script host did not become ready.", platforms=("windows",)),
    # Without STARTED the start goes on after its wait, so there the loop runs with
    # the hung host and the window is closed from it.
    Case("hangs after READY", "send READY\nhang\n", platforms=("windows",)),
    Case("hangs after STARTED", STARTED + "hang\n"),
    Case("hangs mid-frame", MID_FRAME + "hang\n"),
    Case("floods without a line feed", STARTED + "await FRAME|\nflood-line-forever\n"),
    Case("writes a 50 MB line", "frame-delay 20\nsend READY\nawait START\nsend STARTED\n"
         "flood 52428800\nserve\n", stamped=True),
    Case("stops reading", STARTED + "stop-reading\n"),
    Case("writes NUL, CR, invalid UTF-8",
         "frame RECT|1|2|3|4|5|6|7\\x00junk\nframe \\r\\r\\r\nframe LOG|Info|\\xff\\xfe\\xc3\n"
         "frame \\x00\\x00\\x00\nframe SPRITE|0|0|8|8|1|2|3|\\xff\\xfe.png\nsend READY\nserve\n",
         stamped=True),
    Case("a million rectangles a frame", "frame-repeat 1000000 RECT|1|1|1|1|1|1|1\nsend READY\nserve\n",
         stamped=True, close_after=3.0, gap_limit=DRAWING_LIMIT),
    Case("5,000 overlapping colliders a frame", "frame-colliders 5000\nsend READY\nserve\n",
         stamped=True, close_after=3.0,
         warning="[Warn] A frame's colliders overlap in more than 10000 box pairs; "
                 "contacts past that are not reported."),
    Case("runtime killed outright", "send READY\nserve\n", kill_runtime=True),
]


def children(pid):
    """(pid, state) of every process whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        if int(fields[1]) == pid:
            found.append((int(entry), fields[0]))
    return found


def gap_limit(case, project):
    """The longest gap between frames the case allows on this build."""
    if project.windows and case.gap_limit == DRAWING_LIMIT:
        return WINE_DRAWING_LIMIT
    return case.gap_limit


def resident_mb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return 0.0


def frame_gaps(project):
    times = []
    for line in project.recorded_lines():
        stamp, _, text = line.partition(" ")
        if text.startswith("FRAME|") and stamp.isdigit():
            times.append(int(stamp) / 1000.0)
    gaps = [b - a for a, b in zip(times, times[1:])]
    return len(times), (max(gaps) if gaps else None)


def run_case(args, case):
    problems = []
    result = {"name": case.name}
    # Its own window title: under Wine CloseWindow finds the window by it while
    # other cases' windows are open.
    title = "Orvane fault %d" % CASES.index(case)
    project_json = ('{"name": "Fault", "mainClass": "Game.Main", "startScene": "Level1", '
                    '"mainAssembly": "Game.dll", "width": 320, "height": 200, "title": "%s"}\n' % title)
    with e2e.Project(args, name="Fault", project_json=project_json) as project:
        record = ""
        if case.stamped:
            record = "record-times " + project.path_for_runtime(project.record_file).replace("\\", "/") + "\n"
        project.write_scenario(record + case.scenario)
        started_at = time.monotonic()
        run = project.start()
        # Under Wine the emulator script execs wine, and that process becomes
        # orvane.exe: the same pid, its memory and its SIGKILL.
        pid = run.process.pid
        peak = 0.0
        first_seen = {}   # zombie child -> when it was first seen
        zombies = set()   # zombies that stayed for more than a moment

        def watch(seconds, until_done=None):
            nonlocal peak
            end = time.monotonic() + seconds
            while time.monotonic() < end and run.process.poll() is None:
                if until_done is not None and until_done.poll() is not None:
                    break
                peak = max(peak, resident_mb(pid))
                now = time.monotonic()
                # Wine starts a Windows child through a double fork, so it is never
                # the runtime's own child and cannot become its zombie: Linux only.
                for child, state in children(pid) if not project.windows else ():
                    if state == "Z":
                        first_seen.setdefault(child, now)
                        if now - first_seen[child] > 0.3:
                            zombies.add(child)
                time.sleep(0.05)

        if case.wait_for_loop:
            if not run.wait_for_output(["[Info] Running project: Fault"], 60.0):
                run.process.kill()
                run.wait(timeout=30)
                return result, ["%s: the run did not reach its loop%s" % (case.name, run.transcript())]
        if case.close_after is not None and project.windows and not case.kill_runtime:
            # CloseWindow starts ahead and sleeps, so Wine's start-up is not in the
            # close time; it posts WM_CLOSE just before it ends.
            close_after = case.close_after
            if case.gap_limit == DRAWING_LIMIT:
                # Two frames of Wine's GDI drawing must fit before the close.
                close_after = max(close_after, gap_limit(case, project) + 1.5)
            closer = start_close_window(args, project, title, close_after)
            watch(120.0, until_done=closer)
            closed_at = time.monotonic()
            if closer.wait(timeout=60) != 0:
                problems.append("CloseWindow failed (%d): %s" % (
                    closer.returncode, closer.stderr.read().decode(errors="replace")))
        elif case.close_after is not None:
            watch(case.close_after)
            closed_at = time.monotonic()
            if case.kill_runtime:
                run.process.send_signal(signal.SIGKILL)
            else:
                run.process.send_signal(signal.SIGTERM)
        else:
            watch(READY_WAIT + 5.0)
            closed_at = None
        # The end is when the process ends; a wineserver started by this run may
        # still hold its output pipes for a while.
        try:
            run.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            pass
        ended_at = time.monotonic()
        code = run.wait(timeout=60)

        hosts_left = e2e.processes_naming(project.root)
        # Under Wine the host is ended by the job object once wineserver sees
        # orvane.exe gone, which takes a little longer.
        deadline = time.monotonic() + (5.0 if project.windows else 2.0)
        while hosts_left and time.monotonic() < deadline:
            time.sleep(0.05)
            hosts_left = e2e.processes_naming(project.root)

        expected_code = -signal.SIGKILL if case.kill_runtime else case.exit_code
        if code != expected_code:
            problems.append("exit code %d, expected %d" % (code, expected_code))
        if hosts_left:
            problems.append("host processes left after the end: %r" % hosts_left)
            for left in hosts_left:
                try:
                    os.kill(left, signal.SIGKILL)
                except OSError:
                    pass
        if zombies:
            problems.append("zombie children while running: %r" % sorted(zombies))
        if peak > MEMORY_LIMIT_MB:
            problems.append("peak memory %.0f MB, limit %d MB" % (peak, MEMORY_LIMIT_MB))
        errors = run.error_lines()
        if not case.kill_runtime:
            wanted = [case.error_line] if case.error_line else []
            if errors != wanted:
                problems.append("error lines %r, expected %r" % (errors, wanted))

        if case.warning is not None and run.out_lines.count(case.warning) != 1:
            problems.append("the warning %r came %d times, expected once"
                            % (case.warning, run.out_lines.count(case.warning)))

        result["exit"] = code
        result["memory"] = peak
        if closed_at is not None and not case.kill_runtime:
            result["close"] = ended_at - closed_at
            close_limit = CLOSE_LIMIT + (WINE_WINDOW_TEARDOWN if project.windows else 0.0)
            if result["close"] > close_limit:
                problems.append("ended %.2f s after the close request, limit %.2f s" % (result["close"], close_limit))
        elif closed_at is None:
            result["close"] = None
            total = ended_at - started_at
            if total > READY_WAIT + 3.0 + (WINE_WINDOW_TEARDOWN if project.windows else 0.0):
                problems.append("start-up failure took %.1f s" % total)
        if case.stamped:
            frames, gap = frame_gaps(project)
            result["frames"] = frames
            result["gap"] = gap
            if frames < 2:
                problems.append("the host received %d FRAME lines" % frames)
            elif gap > gap_limit(case, project):
                problems.append("a gap of %.2f s between frames, limit %.2f s" % (gap, gap_limit(case, project)))
        if problems:
            problems = ["%s: %s%s" % (case.name, "; ".join(problems), run.transcript()[-3000:])]
    return result, problems


def start_close_window(args, project, title, seconds):
    command = [os.path.abspath(args.close_window), "--timeout-ms", "60000", "--title", title,
               "--sleep", str(int(seconds * 1000))]
    if args.emulator:
        command = [args.emulator] + command
    return subprocess.Popen(command, env=project.environment(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def cell(value, form):
    return "-" if value is None else form % value


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []
    rows = []
    cases = [case for case in CASES if args.platform in case.platforms]
    # A Wine run costs more: its wineserver, and CloseWindow as a second program.
    workers = 4 if args.platform == "linux" else 2
    print("The fault matrix, %s build:" % args.platform)
    with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
        for result, found in pool.map(lambda case: run_case(args, case), cases):
            rows.append(result)
            problems += found
    print("| case | longest frame gap (s) | close to end (s) | exit | peak memory (MB) |")
    print("|---|---|---|---|---|")
    for row in rows:
        print("| %s | %s | %s | %s | %s |" % (
            row["name"], cell(row.get("gap"), "%.3f"), cell(row.get("close"), "%.2f"),
            cell(row.get("exit"), "%d"), cell(row.get("memory"), "%.0f")))
    return e2e.report(problems)


if __name__ == "__main__":
    sys.exit(main())
