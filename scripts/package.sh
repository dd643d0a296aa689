#!/bin/sh
# Builds the Debian package zurm_1.4-1_amd64.deb from the build tree the tests
# use (build/, configured as scripts/test.sh does), into the source folder or
# the folder given as the argument, and lets lintian judge it when present.
# CPack packs the very binaries the test suite runs, stripped; see
# cmake/Package.cmake for why it is not a debhelper build.
set -e
cd "$(dirname "$0")/.."
source_dir=$(pwd)
out=${1:-$source_dir}
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target zurm zurm-calc delivered_files help_files examples package_files
mkdir -p "$out"
out=$(cd "$out" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! cpack --config build/CPackConfig.cmake -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    exit 1
fi
mv "$scratch/zurm_1.4-1_amd64.deb" "$out/"
echo "Пакет: $out/zurm_1.4-1_amd64.deb"
if command -v lintian >/dev/null 2>&1; then
    # Root may run lintian; its remark about that is no finding of the package.
    lintian "$out/zurm_1.4-1_amd64.deb" 2>&1 | grep -v '^running with root privileges' || true
fi
