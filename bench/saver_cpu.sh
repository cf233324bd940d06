#!/usr/bin/env bash
# The saver's CPU cost as a user sees it: the test window (/t, 600 x 400) with four running 48K
# televisions, under Xvfb with Mesa's software renderer. Prints the frame rate reached and the
# share of one core used (all threads: emulation, drawing, the renderer's own). Goal: at most 25%.
# Two runs of different lengths are timed and their difference taken, so start-up does not count.
#
#   bench/saver_cpu.sh [GLIMMERBOX]      (default: build/glimmerbox)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/glimmerbox}")
script=$(realpath bench/scripts/four_televisions.lua)
work=$(mktemp -d)
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r number <&3
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# Wall, user and system seconds of one run of `frames` displayed frames.
timed_run() {
  local TIMEFORMAT="%R %U %S"
  { time env DISPLAY=":$number" LIBGL_ALWAYS_SOFTWARE=1 XDG_CONFIG_HOME="$work/config" \
      XDG_DATA_HOME="$work/data" "$exe" /t --frames "$1" --script "$script" >/dev/null 2>&1; } 2>&1
}

short=300
long=${GLIMMERBOX_BENCH_FRAMES:-1200}
read -r w1 u1 s1 < <(timed_run "$short")
read -r w2 u2 s2 < <(timed_run "$long")
awk -v frames=$((long - short)) -v w1="$w1" -v u1="$u1" -v s1="$s1" -v w2="$w2" -v u2="$u2" \
    -v s2="$s2" 'BEGIN {
  wall = w2 - w1; cpu = (u2 + s2) - (u1 + s1)
  printf "saver_cpu: %d frames in %.2f s: %.1f frames a second, %.1f%% of one core (goal <= 25%%)\n",
         frames, wall, frames / wall, 100 * cpu / wall
}'
