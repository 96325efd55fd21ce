#!/usr/bin/env python3
"""Ctrl+Break in the Windows build's console, as Ctrl+C. Wine 8 does not send
CTRL_BREAK_EVENT (GenerateConsoleCtrlEvent fails), so there it skips with that
reason."""

import sys

import console_events

if __name__ == "__main__":
    sys.exit(console_events.run_event("break"))
