#!/usr/bin/env bash
# Runs one Windows program under Wine with a private prefix next to the build
# (first use initialises it once). Used as CMAKE_CROSSCOMPILING_EMULATOR.
set -euo pipefail
build_dir=${ORVANE_WINE_PREFIX_ROOT:-$(pwd)}
# ctest runs tests in their own binary folders; keep one prefix per build tree.
while [ "$build_dir" != "/" ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
  build_dir=$(dirname "$build_dir")
done
[ -f "$build_dir/CMakeCache.txt" ] || build_dir=${TMPDIR:-/tmp}
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
wine_cmd=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
      "$wine_cmd" wineboot -i >/dev/null 2>&1 || true
      wineserver -w 2>/dev/null || true
      touch "$WINEPREFIX/.orvane-ready"
    fi
  ) 9>"$build_dir/.wineprefix.lock"
fi
exec "$wine_cmd" "$@"
