#!/usr/bin/env bash
# `make run`: starts the window. Without a desktop to show it on, says so in one
# line and points to the command-line converter instead.
set -euo pipefail
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no graphical display (DISPLAY and WAYLAND_DISPLAY are unset); convert from a terminal with $build/cli/quillmark-cli --help instead" >&2
    exit 1
fi
exec "$build/ui/quillmark"
