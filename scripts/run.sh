#!/bin/sh
# Installs what is missing, builds the program and starts it on a copy of the
# two-pipe sample calculation (samples/sample.mdb of the program folder, the
# network of the help's first-calculation guide) kept in the user's home
# folder; the program settings are
# pointed at that copy, so the window opens with the network loaded. The copy
# is made once and keeps the user's edits afterwards.
# Without a display the command-line front calculates the copy and prints the
# outcome and where the protocol is.
set -e
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target zurm zurm-calc delivered_files
folder="$HOME/zurm"
calculation="$folder/sample.mdb"
mkdir -p "$folder"
if [ ! -f "$calculation" ]; then
    cp build/bin/samples/sample.mdb "$calculation"
    chmod u+w "$calculation"
fi
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    quoted=$(printf "%s" "$calculation" | sed "s/'/''/g")
    sqlite3 build/bin/Nastr.mdb "UPDATE [Настройки] SET [ФайлГР] = '$quoted';"
    echo "Расчет-пример: $calculation"
    exec build/bin/zurm
fi
echo "Нет дисплея: расчет-пример выполняется программой zurm-calc ($calculation)."
build/bin/zurm-calc "$calculation" --text "$folder/sample.txt"
echo "Текст расчета (Windows-1251): $folder/sample.txt"
