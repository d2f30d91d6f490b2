#!/bin/sh
# Installs what is missing, builds, and starts Lumo News Reader from its
# program directory (build/program).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "error: no display; start it from a graphical desktop, or under Xvfb: xvfb-run -a $0" >&2
    exit 1
fi
cd build/program
exec ./LumoNewsReader "$@"
