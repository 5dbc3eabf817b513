#!/usr/bin/env bash
# Installs the Debian (or Ubuntu) packages that Sayvane needs:
#   scripts/install-deps.sh              what building and running the program needs (make run)
#   scripts/install-deps.sh --test-libs  that, and what building the tests needs (the test and
#                                        benchmark frameworks)
#   scripts/install-deps.sh --test       that, and what running the tests needs (make check,
#                                        make test): window managers and panels, Debian's
#                                        validators, clang for the fuzzer, clang-format
#   scripts/install-deps.sh --desktop-shells  that, and GNOME Shell and Plasma (make
#                                        test-desktops)
# Does nothing when everything is already installed, so it is cheap to run before every build.
set -euo pipefail

build=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libxcb1-dev libxcb-screensaver0-dev
    nlohmann-json3-dev libsimdjson-dev
)
run=(
    qt6-qpa-plugins libqt6svg6 qt6-gtk-platformtheme qt6-translations-l10n
    fonts-dejavu-core fonts-noto-color-emoji fonts-wqy-microhei
    # Without any display, make run starts the program on a virtual X server.
    xvfb xauth
)
testLibs=(libgtest-dev libgmock-dev libbenchmark-dev python3)
testTools=(
    clang-format xdotool x11-utils dbus libglib2.0-bin desktop-file-utils
    openbox tint2 xfwm4 xfce4-panel xfce4-indicator-plugin ayatana-indicator-application
    at-spi2-core
    librsvg2-bin dpkg-dev file lintian appstream mandoc groff-base
)
# The fuzzer's compiler and runtime; installed where the release has them.
optional=(clang libclang-rt-14-dev)

# The real desktop shells of the tests labelled "gnome", "plasma" and "mate" (make
# test-desktops): some 540 packages, three minutes on a 2-core machine (GNOME 53 s, Plasma 117 s),
# so only when asked for with --desktop-shells.
desktopShells=(
    gnome-shell gnome-shell-extension-appindicator xwayland
    plasma-workspace plasma-desktop
    mate-panel marco mate-settings-daemon
    imagemagick
)

wanted=("${build[@]}" "${run[@]}")
withOptional=false
case "${1:-}" in
--test-libs) wanted+=("${testLibs[@]}") ;;
--test | --desktop-shells)
    wanted+=("${testLibs[@]}" "${testTools[@]}")
    withOptional=true
    if [ "$1" = --desktop-shells ]; then
        wanted+=("${desktopShells[@]}")
    fi
    ;;
esac

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for package in "${wanted[@]}"; do
    installed "$package" || missing+=("$package")
done
missingOptional=()
if $withOptional; then
    for package in "${optional[@]}"; do
        installed "$package" || missingOptional+=("$package")
    done
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#missingOptional[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

# In CI (CI=true), on a machine used once, dpkg does not sync each file it unpacks: the install
# takes less than half the time. Never elsewhere: a crash in the middle could leave a system
# library empty.
aptOptions=()
if [ "${CI:-}" = true ]; then
    aptOptions=(-o Dpkg::Options::=--force-unsafe-io)
fi

echo "Installing missing packages: ${missing[*]} ${missingOptional[*]}"
$sudo apt-get update -q
for package in "${missingOptional[@]}"; do
    if apt-cache show "$package" >/dev/null 2>&1; then
        missing+=("$package")
    else
        echo "Skipping $package: not offered by this release"
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${aptOptions[@]}" "${missing[@]}"
fi
