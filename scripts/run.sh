#!/usr/bin/env bash
# Copies the built program into dist/, a folder no clean empties, and starts it there; its
# Database.edb and pz.ini live beside it.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/app/tamvelo" ]; then
  echo "The program is not built yet (no $build/app/tamvelo)." >&2
  exit 1
fi
mkdir -p dist
cp "$build/app/tamvelo" dist/tamvelo.new && mv dist/tamvelo.new dist/tamvelo
cp README.md dist/README.md
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here. Run it under a virtual one:  xvfb-run -a dist/tamvelo" >&2
  exit 1
fi
exec dist/tamvelo
