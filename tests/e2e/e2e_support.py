"""Shared pieces of the end-to-end tests: a real project folder in a temporary
directory, the stand-in script host installed as the .NET host, running the
runtime (through Wine for the Windows build) and closing its window.

Layout of one test folder:
    <tmp>/work/                      current directory of the runtime
    <tmp>/work/engine/csharp/ScriptHost/bin/Debug/net8.0/Orvane.ScriptHost.dll
                                     the stand-in's scenario (found by the script
                                     host search under the current directory)
    <tmp>/work/project/              project.json, Game.dll
    <tmp>/dotnet-root/dotnet[.exe]   the stand-in, named by DOTNET_ROOT
"""

import argparse
import atexit
import os
import queue
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

HOST_FOLDER = os.path.join("engine", "csharp", "ScriptHost", "bin", "Debug", "net8.0")
HOST_FILE = "Orvane.ScriptHost.dll"


_RUNNING = []

# Exit code of a script that cannot run here; CTest reports it as skipped.
SKIP = 77


@atexit.register
def _stop_left_over_processes():
    for process in _RUNNING:
        if process.poll() is None:
            process.kill()
            process.wait()


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--platform", required=True, choices=("windows", "linux"))
    parser.add_argument("--emulator", default="")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folders")
    args = parser.parse_args()
    args.close_window = os.environ.get("ORVANE_CLOSE_WINDOW", "")
    if args.platform == "windows" and not args.close_window:
        fail("ORVANE_CLOSE_WINDOW must name the CloseWindow helper for the Windows runs")
    return args


def windows_path(path):
    """A host path as the Windows program under Wine sees it (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def processes_naming(folder):
    """Processes other than this one whose command line names something in folder
    (a stand-in host; under Wine its command line is the Windows one, Z:\\...)."""
    names = (folder, windows_path(folder))
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().decode(errors="replace")
        except OSError:
            continue
        if any(name in command for name in names):
            found.append(int(entry))
    return found


def host_path(text):
    """A path that the runtime printed, back as a normalised host path."""
    if len(text) >= 2 and text[1] == ":" and text[0] in "zZ":
        text = text[2:].replace("\\", "/")
    return os.path.normpath(text)


class Run:
    """One finished or running runtime process with its output lines."""

    def __init__(self, process):
        self.process = process
        _RUNNING.append(process)
        self.out_lines = []
        self.err_lines = []
        self._queues = (queue.Queue(), queue.Queue())
        self._ended = [False, False]
        for stream, lines in zip((process.stdout, process.stderr), self._queues):
            threading.Thread(target=self._read, args=(stream, lines), daemon=True).start()

    @staticmethod
    def _read(stream, lines):
        for raw in stream:
            lines.put(raw.decode("utf-8", errors="replace").rstrip("\r\n").rstrip("\r"))
        lines.put(None)

    def drain(self):
        """Moves what the readers have handed over into the line lists; true once
        both streams have reached their end."""
        for index, (source, seen) in enumerate(zip(self._queues, (self.out_lines, self.err_lines))):
            while True:
                try:
                    line = source.get_nowait()
                except queue.Empty:
                    break
                if line is None:
                    self._ended[index] = True
                else:
                    seen.append(line)
        return all(self._ended)

    def wait_for_output(self, wanted, timeout):
        """True once every line in `wanted` was printed on standard output."""
        deadline = time.monotonic() + timeout
        while True:
            self.drain()
            if all(line in self.out_lines for line in wanted):
                return True
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.drain()
                return all(line in self.out_lines for line in wanted)
            time.sleep(0.05)

    def expect_output(self, wanted, timeout, failure):
        """Waits for the lines in `wanted`; if they do not come, stops the
        runtime and fails with `failure` and the transcript."""
        if not self.wait_for_output(wanted, timeout):
            self.process.kill()
            self.wait(timeout=30)
            fail(failure + self.transcript())

    def expect_running(self, seconds, failure):
        """Lets the runtime run for `seconds`; if it ended meanwhile, fails with
        `failure` (its %d takes the exit code) and the transcript."""
        time.sleep(seconds)
        if self.process.poll() is not None:
            self.wait(timeout=10)
            fail(failure % self.process.returncode + self.transcript())

    def wait(self, timeout):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            self._finish()
            fail("the runtime did not end within %.0f s%s" % (timeout, self.transcript()))
        self._finish()
        return self.process.returncode

    def _finish(self):
        # The process has ended; its output is complete once both readers reach
        # the end of their pipes. A helper process that inherited the pipes (a
        # wineserver started by this run) can hold them open, so that wait is
        # bounded.
        deadline = time.monotonic() + 10
        while not self.drain() and time.monotonic() < deadline:
            time.sleep(0.02)

    def error_lines(self):
        return [line for line in self.err_lines if line.startswith("[")]

    def unclean_end(self, code):
        """What is wrong with the end of a run that should have ended normally."""
        problems = []
        if code != 0:
            problems.append("exit code %d, expected 0" % code)
        if self.error_lines():
            problems.append("error lines: %r" % self.error_lines())
        return problems

    def transcript(self):
        return ("\n--- stdout:\n" + "\n".join(self.out_lines) +
                "\n--- stderr:\n" + "\n".join(self.err_lines))


class Project:
    """A project folder with the stand-in script host, in a fresh temp folder."""

    def __init__(self, args, name="E2E Game", main_class="Game.Main", start_scene="Level1",
                 project_json=None, scenario="send READY\nserve\n", game_assembly=True,
                 script_host=True):
        self.args = args
        self.windows = args.platform == "windows"
        self.root = tempfile.mkdtemp(prefix="orvane-e2e-")
        self.work = os.path.join(self.root, "work")
        self.project = os.path.join(self.work, "project")
        self.host_folder = os.path.join(self.work, HOST_FOLDER)
        self.dotnet_root = os.path.join(self.root, "dotnet-root")
        self.record_file = os.path.join(self.root, "input.txt")
        os.makedirs(self.project)
        os.makedirs(self.dotnet_root)
        self.install_host(self.dotnet_root)
        if project_json is None:
            project_json = ('{\n  "name": "%s",\n  "mainClass": "%s",\n  "startScene": "%s",\n'
                            '  "mainAssembly": "Game.dll",\n  "width": 320,\n  "height": 200,\n'
                            '  "title": "Orvane e2e"\n}\n' % (name, main_class, start_scene))
        if project_json is not False:
            with open(os.path.join(self.project, "project.json"), "w") as f:
                f.write(project_json)
        if game_assembly:
            with open(os.path.join(self.project, "Game.dll"), "wb") as f:
                f.write(b"not an assembly; the stand-in does not load it\n")
        if script_host:
            os.makedirs(self.host_folder)
            self.write_scenario(scenario)

    def install_host(self, folder):
        name = "dotnet.exe" if self.windows else "dotnet"
        shutil.copy(self.args.standin, os.path.join(folder, name))

    def write_scenario(self, text):
        with open(os.path.join(self.host_folder, HOST_FILE), "w") as f:
            f.write(text)

    def record_command(self):
        """Scenario line that records every line the runtime sends. Forward
        slashes: the scenario reads backslashes as escapes."""
        path = self.record_file
        if self.windows:
            path = "Z:" + os.path.abspath(path)
        return "record " + path + "\n"

    def recorded_lines(self):
        try:
            with open(self.record_file, "rb") as f:
                return f.read().decode("utf-8", errors="replace").splitlines()
        except OSError:
            return []

    def path_for_runtime(self, path):
        return windows_path(path) if self.windows else path

    def environment(self):
        env = dict(os.environ)
        if self.args.emulator:
            # The Wine wrapper picks its prefix by the current directory, which is
            # the temp folder here: keep the runtime and CloseWindow on the build's
            # prefix (one wineserver, so CloseWindow can see the window).
            env.setdefault("ORVANE_WINE_PREFIX_ROOT", os.path.dirname(os.path.abspath(self.args.orvane)))
        return env

    def start(self, project_argument=None, dotnet_root=None, options=(), env_changes=None):
        """Starts the runtime in the work folder with the options, then the project
        folder as argument (False: no project argument). env_changes sets
        variables, or removes those set to None."""
        if project_argument is None:
            project_argument = self.path_for_runtime(self.project)
        env = self.environment()
        env["DOTNET_ROOT"] = self.path_for_runtime(dotnet_root or self.dotnet_root)
        for name, value in (env_changes or {}).items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        command = [os.path.abspath(self.args.orvane)] + list(options)
        if project_argument is not False:
            command.append(project_argument)
        if self.args.emulator:
            command = [self.args.emulator] + command
        process = subprocess.Popen(command, cwd=self.work, env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return Run(process)

    def close_window(self, run, hold_keys=()):
        """Closes the runtime's window the way the platform does: WM_CLOSE on
        Windows (after holding the given virtual keys), SIGTERM for SDL."""
        if not self.windows:
            run.process.send_signal(signal.SIGTERM)
            return
        command = [os.path.abspath(self.args.close_window), "--timeout-ms", "30000"]
        for key, milliseconds in hold_keys:
            command += ["--hold", str(key), str(milliseconds)]
        if self.args.emulator:
            command = [self.args.emulator] + command
        result = subprocess.run(command, capture_output=True, timeout=120, env=self.environment())
        if result.returncode != 0:
            fail("CloseWindow failed (%d): %s" % (result.returncode,
                                                  result.stderr.decode(errors="replace")))

    def drive_window(self, steps, close=True):
        """Windows: runs the CloseWindow helper with the given steps (its
        arguments, e.g. ["--post", "0x100", "65", "1"]), closing the window at the
        end unless close is false."""
        command = [os.path.abspath(self.args.close_window), "--timeout-ms", "30000"] + list(steps)
        if not close:
            command.append("--no-close")
        if self.args.emulator:
            command = [self.args.emulator] + command
        result = subprocess.run(command, capture_output=True, timeout=120, env=self.environment())
        if result.returncode != 0:
            fail("CloseWindow failed (%d): %s" % (result.returncode,
                                                  result.stderr.decode(errors="replace")))

    def cleanup(self):
        if self.args.keep:
            print("kept " + self.root)
            return
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()
        return False


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG
    file, decoded here so that no image tool is needed."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(path + " is not a PNG file")
    at, chunks, header = 8, [], None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        at += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace:
        fail("%s: unsupported PNG form (depth %d, colour type %d)" % (path, depth, colour_type))
    channels = 3 if colour_type == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def require_display():
    if not os.environ.get("DISPLAY"):
        fail("DISPLAY is not set: the runtime opens a window (run under Xvfb)")


def report(problems, run=None):
    """Fails with every problem found (and the run's transcript), or passes."""
    if problems:
        fail("\n".join(problems) + (run.transcript() if run else ""))
    print("PASS")
    return 0
