#!/usr/bin/env bash
# Starts the real program in a real X server and checks on a screenshot that
# its window shows the teal band. Skips (exit 77) where no X server can start.
# Usage: xvfb_smoke.sh <quillmark> <band_probe> <screenshot.png>
set -u
app=$1 probe=$2 shot=$3

if ! command -v Xvfb >/dev/null; then
    echo "SKIP: Xvfb is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi

scratch=$(mktemp -d)
xvfb= app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# The server picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$scratch/display" ]; then
    echo "SKIP: Xvfb could not start an X server here"
    exit 77
fi

export DISPLAY=":$(head -n1 "$scratch/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# A key of its own, so a copy the user is running does not take this start over;
# its lock and socket go into the scratch folder, which goes with the test.
QUILLMARK_INSTANCE_KEY="quillmark-smoke-$$" TMPDIR="$scratch" XDG_RUNTIME_DIR="$scratch" "$app" &
app_pid=$!

"$probe" "$shot" 600 570
