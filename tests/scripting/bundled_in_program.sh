#!/usr/bin/env bash
# Plays one bundled script through the program itself, headless, for a few seconds with the demo
# content and one set of ROMs, in base, settings and log folders of its own; fails on any script
# error or lost recording in the log. Exits 77 (skipped) when those ROMs are not installed.
#   bundled_in_program.sh GLIMMERBOX SCRIPT DATA_FOLDER SHARED_FOLDER original|opense SECONDS
set -euo pipefail
exe=$1 script=$2 data=$3 shared=$4 roms=$5 seconds=$6

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
base=$work/base
mkdir -p "$base/Scripts" "$base/Roms" "$work/config" "$work/data"
cp -r "$data/Models" "$base/Models"
cp -r "$data/Snapshots" "$base/Snapshots"
cp "$script" "$base/Scripts/"

case $roms in
  original)
    [ -f "$shared/roms/48.rom" ] || { echo "no original ROMs in $shared/roms"; exit 77; }
    cp "$shared"/roms/*.rom "$base/Roms/" ;;
  opense)
    system=/usr/share/spectrum-roms
    [ -f "$system/opense.rom" ] || { echo "opense-basic is not installed"; exit 77; }
    for name in 48 128-1 plus2-1; do cp "$system/opense.rom" "$base/Roms/$name.rom"; done
    for name in 128-0 plus2-0; do cp "$system/opense-stub.rom" "$base/Roms/$name.rom"; done ;;
esac

XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work \
  "$exe" --headless --seconds "$seconds" --base "$base" --script "$(basename "$script")" \
  > "$work/output.txt" 2>&1 || { cat "$work/output.txt"; exit 1; }

log="$work/data/Corvane/Glimmerbox 1.01 Log.txt"
if ! grep -q "Script loaded OK" "$log" ||
    grep -E "Lua error|Script failed|not responding|No valid scripts|Error in |Lost sync" "$log"; then
  cat "$log"
  exit 1
fi
