#!/bin/sh
# Installs what is missing, builds the program and starts it on its sample
# calculation. Without a display the command-line front prepares a copy of
# the sample and prints what it did.
set -e
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target zurm zurm-calc delivered_files
work=$(mktemp -d)
cp build/bin/samples/sample.mdb "$work/sample.mdb"
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    exec build/bin/zurm "$work/sample.mdb"
fi
echo "Нет дисплея: расчет-пример обрабатывается программой zurm-calc ($work/sample.mdb)."
build/bin/zurm-calc --prepare "$work/sample.mdb"
