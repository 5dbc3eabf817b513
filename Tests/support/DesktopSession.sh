# Real desktop shells for the tests of Sayvane in their panels: GNOME Shell (headless, Wayland,
# with XWayland and the AppIndicator extension) and Plasma (plasmashell under Xvfb). Each runs
# in a throw-away folder on session buses of its own; every process started here is stopped by
# stop_session. Sourced by the test scripts.

session_dir=""
session_pids=()

# Fails the test with a message.
fail() {
    echo "FAIL: $*" >&2
    # What the program said, for the failure's cause.
    [ -n "$session_dir" ] && [ -s "$session_dir/sayvane.log" ] && tail -20 "$session_dir/sayvane.log" >&2
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed. The command runs anew each time,
# its arguments do not: `wait_for 5 test "$(label_of)" != "$first"` reads the label once, before
# the wait, and so waits for nothing. Wait for a command that reads, such as `differs` below.
wait_for() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

# Whether the command after $1 never succeeds for that many seconds.
never_for() {
    local end=$((SECONDS + $1))
    shift
    while [ $SECONDS -lt $end ]; do
        "$@" >/dev/null 2>&1 && return 1
        sleep 0.2
    done
}

# Whether what the command prints now differs from the text given: differs TEXT COMMAND...
differs() {
    local before=$1
    shift
    [ "$("$@")" != "$before" ]
}

stop_session() {
    local pid
    for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do
        pid=${session_pids[$i]}
        kill "$pid" 2>/dev/null
    done
    for pid in "${session_pids[@]}"; do
        for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    done
    session_pids=()
    [ -n "$session_dir" ] && rm -rf "$session_dir"
}

new_session_dir() {
    session_dir=$(mktemp -d /tmp/sayvane-shell.XXXXXX)
    mkdir -p "$session_dir"/{home,runtime,data,config,cache}
    chmod 700 "$session_dir/runtime"
    export HOME=$session_dir/home XDG_RUNTIME_DIR=$session_dir/runtime
    export XDG_DATA_HOME=$session_dir/data XDG_CONFIG_HOME=$session_dir/config
    export XDG_CACHE_HOME=$session_dir/cache
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
    trap stop_session EXIT
}

# A dbus-daemon of its own; its address in bus_address.
start_bus() {
    dbus-daemon --session --fork --print-address=3 --print-pid=4 \
        3>"$session_dir/bus.$1" 4>"$session_dir/bus.$1.pid" || fail "no dbus-daemon"
    session_pids+=("$(cat "$session_dir/bus.$1.pid")")
    bus_address=$(cat "$session_dir/bus.$1")
}

# The settings the program reads at its start.
write_settings() {
    mkdir -p "$XDG_CONFIG_HOME/Sayvane"
    printf '[General]\n%s\n' "$*" >"$XDG_CONFIG_HOME/Sayvane/Sayvane.conf"
}

start_sayvane() {
    "$SAYVANE" >"$session_dir/sayvane.log" 2>&1 &
    sayvane_pid=$!
    session_pids+=("$sayvane_pid")
}

# The strip's X window, by its class.
strip_window() {
    xwininfo -root -tree | awk '/"Sayvane": \("sayvane" "Sayvane"\)/ { print $1; exit }'
}

strip_map_state() {
    local window
    window=$(strip_window)
    [ -n "$window" ] && xwininfo -id "$window" | awk '/Map State/ { print $3 }'
}

strip_is() {
    [ "$(strip_map_state)" = "$1" ]
}

sayvane_property() {
    gdbus call --session --dest io.github.sayvane.Sayvane --object-path / \
        --method org.freedesktop.DBus.Properties.Get io.github.sayvane.Sayvane "$1"
}

# ---- GNOME Shell ----

gnome_available() {
    command -v gnome-shell >/dev/null && command -v Xwayland >/dev/null &&
        [ -d /usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com ]
}

# Calls the test extension inside the shell: probe METHOD [ARGUMENTS...].
probe() {
    local method=$1
    shift
    gdbus call --session --dest org.gnome.Shell --object-path /io/github/sayvane/ShellProbe \
        --method "io.github.sayvane.ShellProbe.$method" "$@"
}

start_gnome_shell() {
    new_session_dir
    local extensions=$XDG_DATA_HOME/gnome-shell/extensions
    mkdir -p "$extensions" "$XDG_CONFIG_HOME/glib-2.0/settings"
    cp -r "$(dirname "${BASH_SOURCE[0]}")/gnome-shell-probe" "$extensions/sayvane-probe@sayvane.test"
    cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<'KEYFILE'
[org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com', 'sayvane-probe@sayvane.test']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
[org/gnome/desktop/notifications]
show-banners=false
KEYFILE
    export GSETTINGS_BACKEND=keyfile XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
    # The shell dies looking for logind on a system bus it cannot reach: it gets one of its own.
    start_bus system
    export DBUS_SYSTEM_BUS_ADDRESS=$bus_address
    start_bus session
    export DBUS_SESSION_BUS_ADDRESS=$bus_address
    gnome-shell --headless --wayland --virtual-monitor 1280x720 >"$session_dir/shell.log" 2>&1 &
    shell_pid=$!
    session_pids+=("$shell_pid")
    # XWayland is the shell's child; its display and authority file are on its command line.
    wait_for 60 pgrep -P "$shell_pid" Xwayland || fail "no XWayland: $(tail -5 "$session_dir/shell.log")"
    local arguments
    arguments=$(tr '\0' ' ' </proc/"$(pgrep -P "$shell_pid" Xwayland)"/cmdline)
    DISPLAY=$(echo "$arguments" | awk '{ print $2 }')
    XAUTHORITY=$(echo "$arguments" | sed 's/.*-auth \([^ ]*\).*/\1/')
    export DISPLAY XAUTHORITY
    wait_for 60 probe PanelHeight || fail "the test extension did not start"
    wait_for 30 gdbus introspect --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher || fail "no AppIndicator extension"
    # GNOME 43 starts in the overview, which shows no dock windows.
    probe HideOverview >/dev/null
}

# The id of Sayvane's item in the top bar.
gnome_item() {
    probe Items | grep -o "appindicator-org.kde.StatusNotifierItem-${sayvane_pid}-1"
}

# ---- Plasma ----

plasma_available() {
    command -v plasmashell >/dev/null && command -v kded5 >/dev/null && command -v Xvfb >/dev/null &&
        command -v qdbus >/dev/null
}

# An Xvfb of the session's own on the first free display from :80, made this shell's DISPLAY.
start_xvfb() {
    local display
    for number in $(seq 80 120); do
        [ -e /tmp/.X11-unix/X$number ] || { display=:$number; break; }
    done
    Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >"$session_dir/xvfb.log" 2>&1 &
    session_pids+=("$!")
    export DISPLAY=$display
    wait_for 20 xdpyinfo || fail "Xvfb did not start"
}

plasma_script() {
    qdbus org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript "$1"
}

start_plasma() {
    new_session_dir
    # The widget as the package installs it, from the source tree.
    mkdir -p "$XDG_DATA_HOME/plasma/plasmoids"
    cp -r "$SOURCE_DIR/packaging/plasma/io.github.sayvane.ticker" "$XDG_DATA_HOME/plasma/plasmoids/"
    start_xvfb
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true XDG_SESSION_TYPE=x11
    start_bus session
    export DBUS_SESSION_BUS_ADDRESS=$bus_address
    kbuildsycoca5 >"$session_dir/sycoca.log" 2>&1
    kded5 >"$session_dir/kded.log" 2>&1 &
    session_pids+=("$!")
    # Activation through systemd is not there: the activity manager is started by hand.
    "$(ls /usr/lib/*/libexec/kactivitymanagerd | head -1)" >"$session_dir/kamd.log" 2>&1 &
    session_pids+=("$!")
    wait_for 30 qdbus org.kde.kded5 || fail "kded5 did not start"
    wait_for 30 qdbus org.kde.ActivityManager || fail "kactivitymanagerd did not start"
    qdbus org.kde.kded5 /kded org.kde.kded5.loadModule statusnotifierwatcher >/dev/null
    plasmashell --no-respawn >"$session_dir/plasma.log" 2>&1 &
    session_pids+=("$!")
    wait_for 90 plasma_script 'print(panels().length)' || fail "plasmashell did not start"
}

# ---- MATE ----

mate_available() {
    command -v mate-panel >/dev/null && command -v marco >/dev/null &&
        command -v mate-settings-daemon >/dev/null && command -v Xvfb >/dev/null &&
        [ -x /usr/lib/mate-panel/notification-area-applet ]
}

# Xvfb, MATE's settings daemon (GTK's settings over XSETTINGS, as in a MATE session), marco and
# mate-panel in its default layout: a top panel with the Notification Area, which holds the
# status notifier watcher and hosts the items itself. Its applets are started by the bus.
start_mate() {
    new_session_dir
    start_xvfb
    export XDG_CURRENT_DESKTOP=MATE XDG_SESSION_TYPE=x11 GSETTINGS_BACKEND=keyfile
    start_bus session
    export DBUS_SESSION_BUS_ADDRESS=$bus_address
    mate-settings-daemon >"$session_dir/settings.log" 2>&1 &
    session_pids+=("$!")
    marco --no-composite >"$session_dir/marco.log" 2>&1 &
    session_pids+=("$!")
    mate-panel >"$session_dir/panel.log" 2>&1 &
    mate_panel_pid=$!
    session_pids+=("$mate_panel_pid")
    wait_for 60 gdbus introspect --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher || fail "no Notification Area: $(tail -5 "$session_dir/panel.log")"
}

# Stops mate-panel and starts it again, as after a crash or `mate-panel --replace`.
restart_mate_panel() {
    kill "$mate_panel_pid"
    wait "$mate_panel_pid" 2>/dev/null
    mate-panel >>"$session_dir/panel.log" 2>&1 &
    mate_panel_pid=$!
    session_pids+=("$mate_panel_pid")
}
