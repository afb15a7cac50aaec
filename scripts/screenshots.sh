#!/usr/bin/env bash
# Makes the README's pictures: builds the screenshot maker, then starts it under a virtual X
# display from the repository root (where the Info tab finds Ferrit.txt). It fills the window
# with real runs over small generated trees and saves docs/screenshots/*.png.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
cmake --build "$build" --target ferrit-screenshots
mkdir -p docs/screenshots
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/ui/ferrit-screenshots" docs/screenshots
