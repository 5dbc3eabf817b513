#!/usr/bin/env bash
# Checks of the package and of the files it carries, with the tools Debian checks its own with.
#   PackageCheck.sh desktop  FILE          desktop-file-validate, with nothing to say
#   PackageCheck.sh metainfo FILE          appstreamcli validate --pedantic, with nothing to say
#   PackageCheck.sh manpage  FILE          mandoc -T lint and groff -ww, with nothing to say
#   PackageCheck.sh deb BUILD_DIR VERSION  builds the .deb in a temporary folder, runs lintian on
#                                          it, unpacks it and checks the program and its files
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need() {
    command -v "$1" >/dev/null || fail "$1 is missing: install $2 (scripts/install-deps.sh does)"
}

# Runs a validator; it must succeed and print nothing.
silent() {
    local output
    output=$("$@" 2>&1) || fail "$1 failed:"$'\n'"$output"
    [ -z "$output" ] || fail "$1 has something to say:"$'\n'"$output"
}

checkDesktop() {
    need desktop-file-validate desktop-file-utils
    silent desktop-file-validate "$1"
}

# Runs appstreamcli validate or validate-tree on the path. Every hint counts, down to the pedantic
# ones: only the success line may be printed.
appstreamSilent() {
    need appstreamcli appstream
    local output
    output=$(appstreamcli "$1" --pedantic --no-net --no-color "$2" 2>&1) ||
        fail "appstreamcli $1:"$'\n'"$output"
    if grep -v -e '^✔ Validation was successful' -e '^$' <<<"$output"; then
        fail "appstreamcli $1 has something to say"
    fi
}

checkMetainfo() {
    appstreamSilent validate "$1"
}

checkManpage() {
    need mandoc mandoc
    need groff groff-base
    silent mandoc -T lint -W style "$1"
    silent groff -man -ww -z "$1"
}

# The value of KEY in the desktop entry FILE's main group.
desktopValue() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

checkDeb() {
    local build=$1 version=$2
    need cpack cmake
    need dpkg-deb dpkg
    need lintian lintian
    # Global, not local: the exit trap runs after this function has returned.
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT

    cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
        fail "cpack failed:"$'\n'"$(cat "$work/cpack.log")"
    local deb=("$work"/sayvane_"$version"_*.deb)
    [ -f "${deb[0]}" ] || fail "no sayvane_${version}_*.deb in $(ls "$work")"
    [ "$(dpkg-deb -f "${deb[0]}" Package)" = sayvane ] || fail "the package is not named sayvane"

    # Errors and warnings fail; notes for information are shown.
    local report
    report=$(lintian --tag-display-limit 0 -I "${deb[0]}" 2>&1 | grep -v 'running with root privileges' || true)
    [ -z "$report" ] || echo "$report"
    if grep -E '^[EW]: ' <<<"$report" >/dev/null; then
        fail "lintian reports errors or warnings"
    fi

    local root=$work/root
    dpkg-deb -x "${deb[0]}" "$root"
    local share=$root/usr/share
    local entry=$share/applications/io.github.sayvane.sayvane.desktop
    local metainfo=$share/metainfo/io.github.sayvane.sayvane.metainfo.xml
    [ -f "$entry" ] || fail "no desktop entry at ${entry#"$root"}"
    [ -f "$metainfo" ] || fail "no metainfo at ${metainfo#"$root"}"

    # The metainfo and the desktop entry as installed, read together as a software centre does.
    appstreamSilent validate-tree "$root"

    # What the metainfo names is there: its desktop entry, its program.
    local launchable binary
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    binary=$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")
    [ "$launchable" = "$(basename "$entry")" ] || fail "the metainfo launches '$launchable'"
    [ -x "$root/usr/bin/$binary" ] || fail "the metainfo provides '$binary', not in /usr/bin"

    # What the desktop entry names is there: its program and its icon in every size.
    local exec icon
    exec=$(desktopValue "$entry" Exec)
    icon=$(desktopValue "$entry" Icon)
    [ -x "$root/usr/bin/${exec%% *}" ] || fail "the desktop entry runs '${exec%% *}', not in /usr/bin"
    [ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon '$icon'"
    local size
    for size in 16 22 24 32 48 64 128 256; do
        local png=$share/icons/hicolor/${size}x${size}/apps/$icon.png
        [ -f "$png" ] || fail "no ${size}x${size} icon '$icon'"
        file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not $size x $size"
    done

    local path
    for path in man/man1/sayvane.1.gz doc/sayvane/copyright doc/sayvane/changelog.gz \
        sayvane/quotes/proverbs.en.txt sayvane/quotes/proverbs.vi.txt sayvane/quotes/proverbs.zh.txt; do
        [ -f "$share/$path" ] || fail "no /usr/share/$path"
    done

    # The unpacked program answers without a display and without touching anyone's files.
    local home=$work/home out
    mkdir -p "$home"
    run() {
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME="$home/.config" \
            timeout 20 "$root/usr/bin/sayvane" "$@" 2>&1
    }
    out=$(run --version) || fail "sayvane --version failed ($?):"$'\n'"$out"
    grep -q -F "$version" <<<"$out" || fail "sayvane --version does not print $version:"$'\n'"$out"
    out=$(run --help) || fail "sayvane --help failed ($?):"$'\n'"$out"
    local option
    for option in --bar --width --interval --print --daily --list --add --import --edit --reload \
        --help --version; do
        grep -q -e "$option\b" <<<"$out" || fail "sayvane --help does not name $option:"$'\n'"$out"
    done
    [ ! -e "$home/.config/Sayvane/quotes.json" ] || fail "--help or --version wrote a quotes file"
    echo "$(basename "${deb[0]}"): $(du -k "${deb[0]}" | cut -f1) KiB, lintian clean, files in place"
}

case ${1:-} in
desktop) checkDesktop "$2" ;;
metainfo) checkMetainfo "$2" ;;
manpage) checkManpage "$2" ;;
deb) checkDeb "$2" "$3" ;;
*) fail "usage: $0 desktop|metainfo|manpage FILE, or $0 deb BUILD_DIR VERSION" ;;
esac
