#!/usr/bin/env python3
"""A script host that ends right after READY: the runtime keeps its window and
loop going (each frame waits out its limit, writes to the gone host fail
quietly), and closing the window still ends the run with exit code 0."""

import sys

import e2e_support as e2e


def main():
    args = e2e.parse_args()
    e2e.require_display()
    with e2e.Project(args, name="Orphan") as project:
        project.write_scenario("send READY\nexit 0\n")
        run = project.start()
        # START waits 5 s for STARTED, which never comes; then the loop runs.
        run.expect_output(["[Info] Running project: Orphan"], 60.0, "the run did not reach its loop")
        # A few frames that write to the vanished host.
        run.expect_running(1.5, "the runtime ended with %d after the host had gone")
        project.close_window(run)
        code = run.wait(timeout=60)
        return e2e.report(run.unclean_end(code), run)


if __name__ == "__main__":
    sys.exit(main())
