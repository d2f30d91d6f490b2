#!/bin/sh
# Installs what is missing, builds, and starts Lumo News Reader from its
# program directory (build/program). Without a graphical desktop (neither
# DISPLAY nor WAYLAND_DISPLAY set) it starts the program on a virtual screen
# (Xvfb), which the set-up installs.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh build
cd build/program
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running Lumo News Reader on a virtual screen (Xvfb)." >&2
    exec xvfb-run -a -s "-screen 0 1280x1024x24" ./LumoNewsReader "$@"
fi
exec ./LumoNewsReader "$@"
