#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any of them is missing. Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n
    # the history (the program's); the tests also read it through Qt Sql
    libsqlite3-dev libqt6sql6-sqlite
    # qdbusxml2cpp: the D-Bus adaptors and proxies of src/gui/dbus/ (qt6-base-dev pulls it in too)
    qt6-base-dev-tools
    libxlsxwriter-dev zlib1g-dev
    libgtest-dev libbenchmark-dev
    sqlite3 desktop-file-utils unzip openssl python3
    xvfb xauth trayer xdotool x11-utils fonts-dejavu-core
    librsvg2-bin file lintian appstream
    dbus-daemon
    # the private session bus of the StatusNotifierItem test
    dbus
    openbox
    # the real panels of the panel tests (xfconf-query sets the Xfce panel's size)
    xfce4-panel xfconf lxqt-panel
    # the Wayland test: sway on its headless backend, waybar's tray, the Qt Wayland platform
    sway waybar qt6-wayland
    # the balance chart (Qt Charts' CMake files need Qt OpenGL's)
    qt6-charts-dev libqt6opengl6-dev
    clang libclang-rt-14-dev
    # the interface's translations: lrelease at build time, lupdate in the check
    qt6-l10n-tools qt6-tools-dev
    # the screen reader test (AT-SPI bus and its Python bindings)
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    # the phones' passwords in the desktop's keyring (QtKeychain over libsecret), and the
    # keyring test's own Secret Service
    qtkeychain-qt6-dev libsecret-1-0 gnome-keyring
    # MQTT publishing (libmosquitto), and the broker its tests start; systemd-analyze checks
    # the user units in the install test
    libmosquitto-dev mosquitto systemd
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
