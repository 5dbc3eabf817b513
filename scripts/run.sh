#!/usr/bin/env bash
# Starts Sayvane. On Wayland it goes through XWayland (the xcb platform), since a Wayland client
# may neither place nor raise its own windows, which a menu-bar strip needs. Without any display
# it runs on a virtual X server so that the command still works on a headless machine.
set -euo pipefail
program=${1:-build/sayvane}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program"
fi
echo "No display found: starting Sayvane on a virtual X server (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x800x24" "$program"
