#!/usr/bin/env python3
"""Ctrl+C in the Windows build's console ends the run as a window close does:
after frames ran with SHUTDOWN to the host and exit code 0, in READY's wait with
exit code 1 and one error line; no host is left."""

import sys

import console_events

if __name__ == "__main__":
    sys.exit(console_events.run_event("c"))
