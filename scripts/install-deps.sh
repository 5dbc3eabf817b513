#!/usr/bin/env bash
# Installs the Debian (or Ubuntu) packages that building, running and testing Sayvane need.
# Does nothing when everything is already installed, so it is cheap to run before every build.
set -euo pipefail

required=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-qpa-plugins libqt6svg6 libxcb1-dev
    libxcb-screensaver0-dev
    nlohmann-json3-dev libsimdjson-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-utils xdotool
    fonts-dejavu-core fonts-noto-color-emoji fonts-wqy-microhei
    desktop-file-utils
    qt6-gtk-platformtheme qt6-translations-l10n
    openbox tint2 xfwm4 xfce4-panel dbus xdotool
    libglib2.0-bin python3
    librsvg2-bin dpkg-dev file lintian appstream mandoc groff-base
    xfce4-indicator-plugin ayatana-indicator-application
    at-spi2-core
)
# Only needed for the fuzzer and the ThreadSanitizer build; installed where the release has them.
optional=(clang libclang-rt-14-dev)

# The real desktop shells of the tests labelled "gnome" and "plasma" (make test-desktops): some
# 540 packages, three minutes on a 2-core machine (GNOME 53 s, Plasma 117 s), so only when asked
# for with --desktop-shells.
desktopShells=(
    gnome-shell gnome-shell-extension-appindicator xwayland
    plasma-workspace plasma-desktop
    imagemagick
)
if [ "${1:-}" = "--desktop-shells" ]; then
    required+=("${desktopShells[@]}")
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for package in "${required[@]}"; do
    installed "$package" || missing+=("$package")
done
missingOptional=()
for package in "${optional[@]}"; do
    installed "$package" || missingOptional+=("$package")
done

if [ ${#missing[@]} -eq 0 ] && [ ${#missingOptional[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "Installing missing packages: ${missing[*]} ${missingOptional[*]}"
$sudo apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for package in "${missingOptional[@]}"; do
    if apt-cache show "$package" >/dev/null 2>&1; then
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package"
    else
        echo "Skipping $package: not offered by this release"
    fi
done
