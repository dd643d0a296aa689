#!/bin/sh
# Installs what is missing, builds the program and starts it on its sample
# calculation. Without a display the command-line front calculates a copy of
# the sample and prints the outcome and where the protocol is.
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
echo "Нет дисплея: расчет-пример выполняется программой zurm-calc ($work/sample.mdb)."
build/bin/zurm-calc "$work/sample.mdb" --text "$work/sample.txt"
echo "Текст расчета (Windows-1251): $work/sample.txt"
