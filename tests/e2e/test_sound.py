#!/usr/bin/env python3
"""Sound through the real runtime: a version-2 stand-in host plays an effect after
some silent frames. What the device played is captured to a file (on Linux by SDL's
disk driver, under Wine by an ALSA file device behind WASAPI) and must be silence up
to the effect and then the effect's samples exactly; files that are missing or not
audio give one warning per path. Without an output device the run stays clean with
one warning. A version-1 host's sound lines are only logged, as any unknown line,
and no device is opened."""

import os
import struct
import sys

import e2e_support as e2e

RATE = 48000
ALSA_CONFIG = "/usr/share/alsa/alsa.conf"
NO_PULSE = "unix:/nonexistent/orvane-no-pulse"  # Wine tries PulseAudio before ALSA
START_TIMEOUT = 60.0


def noise(frames, seed=3, amplitude=0.5):
    samples = []
    for _ in range(frames):
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        samples.append(struct.unpack("<f", struct.pack("<f", amplitude * ((seed >> 8) / 8388608.0 - 1.0)))[0])
    return samples


def write_wav(path, samples):
    data = b"".join(struct.pack("<f", s) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 3, 1, RATE, RATE * 4, 4, 32)
    with open(path, "wb") as f:
        f.write(header + b"data" + struct.pack("<I", len(data)) + data)


def silent_frames(count):
    return "await FRAME|\nsend END_FRAME\n" * count


def use_capture(project, output):
    """Points the platform's output at a file; False when it cannot be done."""
    if not project.windows:
        os.environ["SDL_AUDIODRIVER"] = "disk"
        os.environ["SDL_DISKAUDIOFILE"] = output
        return True
    if not os.path.exists(ALSA_CONFIG):
        return False
    # Wine's WASAPI plays through ALSA; its default device becomes a file.
    config = os.path.join(project.root, "asound.conf")
    with open(config, "w") as f:
        f.write('<%s>\npcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n'
                % (ALSA_CONFIG, output))
    os.environ["ALSA_CONFIG_PATH"] = config
    os.environ["PULSE_SERVER"] = NO_PULSE
    return True


def use_no_device(project):
    os.environ["SDL_AUDIODRIVER"] = "no-such-driver"
    os.environ.pop("SDL_DISKAUDIOFILE", None)
    # Wine: no PulseAudio, and an ALSA default device that cannot open.
    config = os.path.join(project.root, "asound-none.conf")
    with open(config, "w") as f:
        f.write("<%s>\npcm.!default { type hw card 99 }\n" % ALSA_CONFIG)
    os.environ["ALSA_CONFIG_PATH"] = config
    os.environ["PULSE_SERVER"] = NO_PULSE


def version2_run(args, problems):
    with e2e.Project(args, name="Sound Game") as project:
        effect = noise(4800)
        write_wav(os.path.join(project.project, "noise.wav"), effect)
        with open(os.path.join(project.project, "garbage.wav"), "wb") as f:
            f.write(b"RIFF but nothing after it")
        output = os.path.join(project.root, "out.raw")
        project.write_scenario(
            "send PROTOCOL|2\n"
            "send READY\n"
            "await START\n"
            "send STARTED\n" + silent_frames(15) +
            # Frames follow each other within milliseconds: the wait makes the silence.
            "sleep 300\n"
            "await FRAME|\n"
            "send SOUND|1|noise.wav|1|0|1\n"
            "send SOUND|2|missing.wav|1|0|1\n"
            "send SOUND|3|garbage.wav|1|0|1\n"
            "send SOUND|4|nan.wav|nan|0|1\n"
            "send END_FRAME\n" + silent_frames(3) +
            "await FRAME|\n"
            "send SOUND|5|missing.wav|1|0|1\n"
            "send SOUND|6|garbage.wav|1|0|1\n"
            "send END_FRAME\n"
            "serve\n")
        captured = use_capture(project, output)
        run = project.start()
        run.expect_output(["[Info] Running project: Sound Game"], START_TIMEOUT, "the game did not start")
        run.expect_running(2.0, "the runtime ended on its own with %d")
        project.close_window(run)
        code = run.wait(timeout=60)
        problems += run.unclean_end(code)

        out = run.out_lines
        no_device = [line for line in out if line.startswith("[Warn] No audio output")]
        if not captured:
            print("no capture device on this machine: %r" % no_device)
            if len(no_device) > 1:
                problems.append("more than one no-device warning: %r" % no_device)
            return
        if no_device:
            problems.append("the capture device did not open: %r" % no_device)
            return
        missing = [line for line in out if line.startswith("[Warn] Sound not found: ")]
        broken = [line for line in out if line.startswith("[Warn] Sound could not be loaded: ")]
        if len(missing) != 1 or not missing[0].endswith("missing.wav"):
            problems.append("expected one 'Sound not found' warning for missing.wav: %r" % missing)
        if len(broken) != 1 or "garbage.wav" not in broken[0]:
            problems.append("expected one 'could not be loaded' warning for garbage.wav: %r" % broken)
        if any("nan.wav" in line for line in out):
            problems.append("the NaN volume line was not dropped")

        with open(output, "rb") as f:
            raw = f.read()
        frames = len(raw) // 8
        samples = struct.unpack("<%df" % (frames * 2), raw[:frames * 8])
        left = samples[0::2]
        right = samples[1::2]
        start = next((i for i, s in enumerate(left) if s != 0.0), None)
        print("output: %d frames, effect starts at frame %s" % (frames, start))
        if start is None:
            problems.append("the output file holds only silence")
            return
        if start < RATE // 10:
            problems.append("sound before the play call: frame %d" % start)
        if any(s != 0.0 for s in right[:start]):
            problems.append("the right channel is not silent before the effect")
        got = list(zip(left[start:start + len(effect)], right[start:start + len(effect)]))
        mismatched = [i for i, (l, r) in enumerate(got) if l != effect[i] or r != effect[i]]
        if len(got) < len(effect) or mismatched:
            problems.append("the effect's samples differ from the source at %d frames (first %r)"
                            % (len(mismatched) + len(effect) - len(got), mismatched[:3]))
        if any(s != 0.0 for s in left[start + len(effect):]):
            problems.append("sound after the effect ended")


def no_device_run(args, problems):
    with e2e.Project(args, name="Quiet Game") as project:
        project.write_scenario("send PROTOCOL|2\n"
                               "send READY\n"
                               "frame SOUND|1|missing.wav|1|0|1\n"
                               "frame MUSIC|missing.ogg|1|1|0\n"
                               "serve\n")
        use_no_device(project)
        run = project.start()
        run.expect_output(["[Info] Running project: Quiet Game"], START_TIMEOUT, "the game did not start")
        run.expect_running(1.0, "the runtime ended on its own with %d")
        project.close_window(run)
        code = run.wait(timeout=60)
        problems += run.unclean_end(code)
        warnings = [line for line in run.out_lines if line.startswith("[Warn]")]
        if len(warnings) != 1 or not warnings[0].startswith("[Warn] No audio output ("):
            problems.append("expected exactly one no-device warning, got %r" % warnings)
        else:
            print(warnings[0])


def version1_run(args, problems):
    with e2e.Project(args, name="Old Game") as project:
        output = os.path.join(project.root, "out-v1.raw")
        project.write_scenario("send READY\n"
                               "frame SOUND|1|noise.wav|1|0|1\n"
                               "frame MUSIC|theme.ogg|1|1|0\n"
                               "serve\n")
        os.environ["SDL_AUDIODRIVER"] = "disk"
        os.environ["SDL_DISKAUDIOFILE"] = output
        run = project.start()
        run.expect_output(["[Info] Running project: Old Game"], START_TIMEOUT, "the game did not start")
        run.expect_running(1.0, "the runtime ended on its own with %d")
        project.close_window(run)
        code = run.wait(timeout=60)
        problems += run.unclean_end(code)
        if "[Info] [ScriptHost] SOUND|1|noise.wav|1|0|1" not in run.out_lines:
            problems.append("a version-1 host's SOUND line was not logged as an unknown line")
        if any("audio" in line.lower() and "ScriptHost" not in line for line in run.out_lines):
            problems.append("a version-1 run mentions audio: %r" % run.out_lines)
        if os.path.exists(output):
            problems.append("a version-1 run opened an audio device")


def main():
    args = e2e.parse_args()
    e2e.require_display()
    problems = []
    version2_run(args, problems)
    no_device_run(args, problems)
    version1_run(args, problems)
    return e2e.report(problems)


if __name__ == "__main__":
    sys.exit(main())
