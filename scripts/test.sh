#!/bin/sh
# Installs what is missing, builds everything and runs the whole test suite
# twice: under C.UTF-8 and under ru_RU.UTF-8, the locale of the people who use
# the program (decimal comma). A test that passes under only one is a fault.
set -e
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
failed=""
for lang in C.UTF-8 ru_RU.UTF-8; do
    echo "== ctest under LANG=$lang"
    if ! LANG=$lang LC_ALL=$lang QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"; then
        failed="$failed $lang"
    fi
done
if [ -n "$failed" ]; then
    echo "Тесты не прошли под:$failed" >&2
    exit 1
fi
