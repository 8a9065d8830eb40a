#!/bin/sh
# Takes the README's screenshot from the real program: starts Quorval under a virtual X display
# with a scratch home folder, opens a data file through File > Open (typed into the file dialog),
# and saves the window as a PNG.
#   tools/screenshot.sh [DATA_FILE] [OUTPUT_PNG]
# Needs: xvfb, xdotool, imagemagick (Debian packages) and a built ./build/quorval.
set -eu
cd "$(dirname "$0")/.."
data_file=$(realpath "${1:-examples/gauge_blocks.quorval}")
output=$(realpath -m "${2:-docs/screenshot.png}")
program=$(realpath build/quorval)
[ -x "$program" ] || { echo "error: build the program first (make all)" >&2; exit 1; }
mkdir -p "$(dirname "$output")"

scratch=$(mktemp -d)
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
display=:97
Xvfb "$display" -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1

# A scratch home with a settings file that places the window at a known size.
mkdir -p "$scratch/.quorval"
cat > "$scratch/.quorval/quorval_settings.ini" <<INI
[General]
Mainwindow_Position=@Point(20 20)
Mainwindow_Size=@Size(1200 900)
File_Path=$(dirname "$data_file")
Remove_Deviations=true
Decimals_Shown=6
INI

DISPLAY=$display HOME=$scratch "$program" &
pid=$!
export DISPLAY=$display
window=""
for _ in $(seq 1 50); do
    window=$(xdotool search --name '^Quorval$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "error: the Quorval window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.5
xdotool key --clearmodifiers ctrl+o
sleep 1.5
xdotool type --delay 20 "$data_file"
xdotool key Return
sleep 2.5
import -window "$window" "$output"
echo "saved $output"
