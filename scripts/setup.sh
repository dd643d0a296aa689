#!/bin/sh
# Installs every Debian 12 package the project needs. Idempotent: when all
# packages are present it prints nothing and touches nothing.
set -e
PACKAGES="
build-essential cmake pkg-config git python3
qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6opengl6-dev
libgl-dev
libxlsxwriter-dev libminizip-dev libmstch-dev libjpeg-dev mdbtools-dev mdbtools
sqlite3 libsqlite3-dev poppler-utils
libgtest-dev libgmock-dev libbenchmark-dev
clang libclang-rt-14-dev
locales
xvfb xauth xdotool qt6-qpa-plugins fonts-dejavu-core
qt6-translations-l10n libqt6svg6 qt6-svg-dev
dpkg-dev lintian file shared-mime-info desktop-file-utils libglib2.0-bin man-db
"
missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Нужны пакеты:$missing — запустите от имени root." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
# Number-format tests run under a Russian locale as well as under C.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
        grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
fi
