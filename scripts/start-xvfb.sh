#!/usr/bin/env bash
# Starts Xvfb on the first free display from 90 up and prints its number; the pid
# is kept in /tmp/.orvane-xvfb-<n>.pid.
set -euo pipefail
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] && continue
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 50); do
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      echo "$pid" > "/tmp/.orvane-xvfb-$n.pid"
      echo "$n"
      exit 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
done
exit 1
