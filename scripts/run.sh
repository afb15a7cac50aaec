#!/usr/bin/env bash
# Starts the window when it is built and a display is there; otherwise shows the CLI's usage.
set -euo pipefail
build=${1:-build}
if [ -x "$build/ui/ferrit" ]; then
  cd "$(dirname "$0")/.."
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/ui/ferrit"
  fi
  echo "No display found: starting the window under xvfb-run (nothing will be visible)." >&2
  exec xvfb-run -a "$build/ui/ferrit"
fi
exec "$build/ferrit-cli" --help
