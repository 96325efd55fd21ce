#!/usr/bin/env python3
"""A script host that ends right after READY: the runtime keeps its window and
loop going (each frame waits out its limit, writes to the gone host fail
quietly), and closing the window still ends the run with exit code 0."""

import sys
import time

import e2e_support as e2e


def main():
    args = e2e.parse_args()
    e2e.require_display()
    with e2e.Project(args, name="Orphan") as project:
        project.write_scenario("send READY\nexit 0\n")
        run = project.start()
        # START waits 5 s for STARTED, which never comes; then the loop runs.
        if not run.wait_for_output(["[Info] Running project: Orphan"], 60.0):
            run.process.kill()
            run.wait(timeout=30)
            e2e.fail("the run did not reach its loop%s" % run.transcript())
        time.sleep(1.5)   # a few frames that write to the vanished host
        if run.process.poll() is not None:
            run.wait(timeout=10)
            e2e.fail("the runtime ended with %d after the host had gone%s"
                     % (run.process.returncode, run.transcript()))
        project.close_window(run)
        code = run.wait(timeout=60)
        if code != 0:
            e2e.fail("exit code %d, expected 0%s" % (code, run.transcript()))
        if run.error_lines():
            e2e.fail("error lines: %r%s" % (run.error_lines(), run.transcript()))
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
