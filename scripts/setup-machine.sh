#!/usr/bin/env bash
# Installs what building and testing Orvane needs on a Debian machine, asking apt
# only for packages that are missing. Sourced or run by scripts/run and scripts/test.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git python3
  googletest libgtest-dev libbenchmark-dev
  libsdl2-dev libsdl2-image-dev libstb-dev libx11-dev libxext-dev
  mingw-w64 wine wine64
  clang-14 libclang-rt-14-dev
  xvfb xauth x11-utils imagemagick
)
if [ "${ORVANE_SETUP_MINIMAL:-0}" = 1 ]; then
  # scripts/run needs only the native build.
  packages=(build-essential cmake pkg-config python3 libsdl2-dev libsdl2-image-dev libstb-dev libx11-dev libxext-dev xvfb xauth x11-utils imagemagick)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! command -v dotnet >/dev/null 2>&1; then
  echo "error: the .NET SDK (dotnet) is not installed; install the .NET SDK 8 or newer." >&2
  exit 1
fi
