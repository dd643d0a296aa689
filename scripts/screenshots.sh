#!/bin/sh
# Builds the program and saves screenshots of its windows on the two-pipe
# example calculation, under a virtual X display (Xvfb):
#   ./scripts/screenshots.sh [OUTPUT_FOLDER [FONT_SIZE]]   (default: build/screenshots)
set -e
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target zurm-screenshots
out=${1:-build/screenshots}
mkdir -p "$out"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x900x24" \
    build/bin/zurm-screenshots "$out" build/examples/district_two_pipe.mdb ${2:-}
echo "Снимки окон: $out"
