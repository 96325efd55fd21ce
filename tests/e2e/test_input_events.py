#!/usr/bin/env python3
"""Input and window events reach a version-2 host through the real runtime: real
X input (XTEST) for the SDL build, posted messages for the Win32 build. A tap
inside one frame arrives as both edges, ten taps between two frames as twenty,
mouse buttons and the wheel with their positions, typed text (an accented letter
and a character outside the BMP), a real resize, and the game's QUIT ends the run
as a close does. A version-1 host hears none of it (test_normal_run.py)."""

import ctypes
import re
import subprocess
import sys
import time

import e2e_support as e2e

START_TIMEOUT = 60.0
EVENT = re.compile(r"^(KEY|BUTTON|POINTER|WHEEL|TEXT_INPUT|FOCUS|SIZE)\|")
XK_EACUTE = 0xE9
XK_MUSICAL_G_CLEF = 0x1000000 + 0x1D11E   # Unicode keysyms: 0x1000000 + the code point


def window_geometry(env):
    """(id, width, height, x, y) of orvane's window; no window manager runs, so it
    is a child of the root window, found by its class name."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, env=env)
    for line in tree.stdout.splitlines():
        if '("orvane"' in line:
            match = re.search(r"(0x[0-9a-f]+).*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", line)
            if match:
                return (int(match.group(1), 16),) + tuple(int(v) for v in match.groups()[1:])
    return None


class X11Window:
    """Keyboard remapping and resizing through Xlib, for what XTEST alone cannot."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                    ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
        self.x11.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(display.encode())

    def map_keysym(self, keycode, keysym):
        syms = (ctypes.c_ulong * 1)(keysym)
        self.x11.XChangeKeyboardMapping(self.display, keycode, 1, syms, 1)
        self.x11.XSync(self.display, 0)

    def resize(self, window, width, height):
        self.x11.XResizeWindow(self.display, window, width, height)
        self.x11.XSync(self.display, 0)

    def close(self):
        self.x11.XCloseDisplay(self.display)


def drive_linux(project, run):
    from xtest import FakeInput
    env = project.environment()
    geometry = window_geometry(env)
    if geometry is None:
        e2e.fail("orvane's window was not found" + run.transcript())
    window, width, height, x, y = geometry
    fake = FakeInput(env["DISPLAY"])
    keyboard = X11Window(env["DISPLAY"])
    try:
        fake.move(x + 20, y + 30)            # focus follows the pointer
        time.sleep(0.4)
        fake.tap(FakeInput.XK_A)
        time.sleep(0.3)
        # A few milliseconds apart: SDL reads a release and a press with the same
        # time stamp as the keyboard's auto-repeat. Frames take 100 ms here, so the
        # taps still fall between two frame lines.
        for _ in range(10):
            fake.tap(FakeInput.XK_SPACE)
            time.sleep(0.004)
        time.sleep(0.3)
        fake.button(1, True)
        fake.button(1, False)
        fake.button(4, True)                 # one wheel step away from the user
        fake.button(4, False)
        time.sleep(0.3)
        # Two spare keycodes typing é and U+1D11E.
        keyboard.map_keysym(250, XK_EACUTE)
        keyboard.map_keysym(251, XK_MUSICAL_G_CLEF)
        time.sleep(0.2)
        for keycode in (250, 251):
            fake.xtest.XTestFakeKeyEvent(fake.display, keycode, 1, 0)
            fake.xtest.XTestFakeKeyEvent(fake.display, keycode, 0, 0)
            fake._flush()
        time.sleep(0.3)
        keyboard.resize(window, 400, 250)
        time.sleep(0.5)
    finally:
        fake.close()
        keyboard.close()
    return 20, 30


def drive_windows(project):
    def post(message, wparam, lparam):
        return ["--post", str(message), str(wparam), str(lparam)]
    steps = ["--sleep", "500"]
    steps += post(0x100, 65, 1) + post(0x101, 65, 0xC0000001)             # A tapped
    steps += ["--sleep", "300"]
    for _ in range(10):
        steps += post(0x100, 32, 1) + post(0x101, 32, 0xC0000001)
    steps += ["--sleep", "300"]
    steps += post(0x201, 1, (30 << 16) | 20) + post(0x202, 0, (30 << 16) | 20)   # left click at 20, 30
    steps += post(0x20A, 120 << 16, 0)                                      # one wheel step
    steps += post(0x102, 0xE9, 1) + post(0x102, 0xD834, 1) + post(0x102, 0xDD1E, 1)   # é, U+1D11E
    steps += ["--sleep", "300", "--resize", "400", "250", "--sleep", "500"]
    project.drive_window(steps)
    return 20, 30


def group_by_frame(lines):
    """Event lines between two frame lines, per frame, in order."""
    groups = [[]]
    for line in lines:
        if line.startswith("FRAME|"):
            groups.append([])
        elif EVENT.match(line):
            groups[-1].append(line)
    return groups


def check_events(lines, click):
    problems = []
    if lines[:3] != ["PROTOCOL|2", "SIZE|320|200", "START"]:
        problems.append("the start was %r, expected PROTOCOL|2, SIZE|320|200, START" % lines[:3])
    groups = group_by_frame(lines)
    tap = [g for g in groups if "KEY|65|1" in g]
    if not tap or "KEY|65|0" not in tap[0] or tap[0].index("KEY|65|1") > tap[0].index("KEY|65|0"):
        problems.append("the tap of A did not arrive as press then release before one frame: %r" % tap[:1])
    spaces = sum(g.count("KEY|32|1") for g in groups)
    releases = sum(g.count("KEY|32|0") for g in groups)
    most = max(g.count("KEY|32|1") for g in groups)
    if spaces != 10 or releases != 10 or most < 5:
        problems.append("ten taps of Space gave %d presses and %d releases, at most %d before one frame"
                        % (spaces, releases, most))
    clicks = [l for g in groups for l in g if l.startswith("BUTTON|1|")]
    wanted = ["BUTTON|1|1|%d|%d" % click, "BUTTON|1|0|%d|%d" % click]
    if clicks != wanted:
        problems.append("the click arrived as %r, expected %r" % (clicks, wanted))
    wheels = [l for g in groups for l in g if l.startswith("WHEEL|")]
    if wheels != ["WHEEL|0|1"]:
        problems.append("the wheel step arrived as %r" % wheels)
    typed = "".join(l[len("TEXT_INPUT|"):] for g in groups for l in g if l.startswith("TEXT_INPUT|"))
    if "\u00e9\U0001D11E" not in typed:
        problems.append("typed text was %r, expected it to hold \u00e9 and U+1D11E" % typed)
    sizes = [l for g in groups for l in g if l.startswith("SIZE|")]
    if "SIZE|400|250" not in sizes:
        problems.append("the resize was told as %r" % sizes)
    return problems


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []
    with e2e.Project(args, name="Input Game") as project:
        project.write_scenario(project.record_command() +
                               "send PROTOCOL|2\nsend READY\nframe-delay 100\nserve\n")
        run = project.start()
        run.expect_output(["[Info] Running project: Input Game"], START_TIMEOUT, "the run did not start")
        run.expect_running(1.0, "the runtime ended on its own with %d")
        if project.windows:
            click = drive_windows(project)
        else:
            click = drive_linux(project, run)
            project.close_window(run)
        code = run.wait(timeout=60)
        problems += run.unclean_end(code)
        lines = project.recorded_lines()
        problems += check_events(lines, click)
        print("%d lines heard by the host, %d frames" % (len(lines), sum(l.startswith("FRAME|") for l in lines)))

    # The game ends the run itself: QUIT in the third frame's answer.
    with e2e.Project(args, name="Quitting Game") as project:
        project.write_scenario(project.record_command() +
                               "send PROTOCOL|2\nsend READY\nexpect START\nsend STARTED\n"
                               "await FRAME|\nsend END_FRAME\nawait FRAME|\nsend END_FRAME\n"
                               "await FRAME|\nsend QUIT\nsend END_FRAME\nserve\n")
        run = project.start()
        code = run.wait(timeout=90)
        problems += run.unclean_end(code)
        lines = project.recorded_lines()
        frames = [l for l in lines if l.startswith("FRAME|")]
        if len(frames) != 3 or lines[-1] != "SHUTDOWN":
            problems.append("after QUIT the host heard %d frames and ended with %r, expected 3 and SHUTDOWN"
                            % (len(frames), lines[-1:]))
    return e2e.report(problems, run)


if __name__ == "__main__":
    sys.exit(main())
