#!/bin/sh
# Takes docs/screenshot.png: the main window with the sample drawing set
# open, regions drawn on its first geometry group and that group read.
#
# The picture is taken by the whole-road GUI suite, which drives the real
# window; PLANFOLIO_SCREENSHOT tells it where to save the window. Under an
# X server (Xvfb when one is installed, else the current DISPLAY) the
# window is drawn by the desktop platform; without either, by Qt's
# offscreen platform.
#
# Usage: tools/screenshot.sh [build-dir]   (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
suite="$build/tests/tst_wholeroad"
out="$root/docs/screenshot.png"

if [ ! -x "$suite" ]; then
    cmake -S "$root" -B "$build" >/dev/null
    cmake --build "$build" --target tst_wholeroad >/dev/null
fi
mkdir -p "$root/docs"

xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT INT TERM

if command -v Xvfb >/dev/null 2>&1; then
    # The first free display number from 99 up.
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    tries=0
    until [ -e "/tmp/.X11-unix/X$display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 50 ]; then
            echo "screenshot: Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
    platform=xcb
    export DISPLAY=":$display"
elif [ -n "${DISPLAY:-}" ]; then
    platform=xcb
else
    platform=offscreen
fi

QT_QPA_PLATFORM=$platform PLANFOLIO_SCREENSHOT="$out" "$suite" wholeRoad >/dev/null
echo "$out"
