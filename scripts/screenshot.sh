#!/usr/bin/env bash
# Starts PROGRAM (a Velmora) under a private X server, waits for its main menu to show after the splash, and
# saves a picture of that window to PNG. Fails when the main menu does not show within 30 seconds.
# Usage: scripts/screenshot.sh PROGRAM PNG
set -euo pipefail

program=$1
png=$2
work=$(mktemp -d)
server=""
velmora=""
finish() {
    [ -n "$velmora" ] && kill "$velmora" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

# Polls a command every tenth of a second until it succeeds, for at most the given seconds.
poll() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# The server writes its display number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
poll 10 grep -q . "$work/display" || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

QT_QPA_PLATFORM=xcb "$program" >"$work/velmora.log" 2>&1 &
velmora=$!

# The splash is titled otherwise; the main menu's title is the product name alone.
no_main_menu() {
    echo "$program $1. Its output:" >&2
    cat "$work/velmora.log" >&2
    exit 1
}
main_menu() {
    kill -0 "$velmora" 2>/dev/null || no_main_menu "ended before it showed its main menu"
    window=$(xdotool search --all --onlyvisible --pid "$velmora" --name '^Velmora$' 2>/dev/null | head -n1)
    [ -n "$window" ]
}
poll 30 main_menu || no_main_menu "showed no main menu within 30 seconds"

# Taken again until two pictures agree, so that the window has finished drawing; PPM holds pixels alone.
snap() {
    import -window "$window" "$work/now.ppm"
    if [ -f "$work/last.ppm" ] && cmp -s "$work/now.ppm" "$work/last.ppm"; then
        return 0
    fi
    mv "$work/now.ppm" "$work/last.ppm"
    return 1
}
poll 10 snap || { echo "The main menu of $program did not settle." >&2; exit 1; }
# Without time stamps, the same window gives the same file.
convert "$work/now.ppm" -strip "$png"
echo "The main menu of $program showed; its picture is $png."
