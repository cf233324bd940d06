#!/usr/bin/env bash
# Runs one Lua test script through the program itself, headless and unthrottled, with its own
# base, settings and log folders, then checks the log the program wrote against the script's
# expectations (script_suite check).
#   run_in_program.sh GLIMMERBOX SCRIPT_SUITE SCRIPT DATA_FOLDER SHARED_FOLDER
set -euo pipefail
exe=$1 suite=$2 script=$3 data=$4 shared=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

spec=$("$suite" spec "$script")
value() { awk -v key="$1" '$1 == key { print $2 }' <<<"$spec"; }
frames=$(value frames)
play_time=$(value play-time)
saver_mode=$(value saver-mode)
catalogue=$(value catalogue)

base=$work/base
mkdir -p "$base/Scripts" "$work/config/Corvane" "$work/data"
cp -r "$data/Models" "$base/Models"
if [ -f "$shared/roms/48.rom" ]; then cp -r "$shared/roms" "$base/Roms"; else cp -r "$data/Roms" "$base/Roms"; fi
cp "$script" "$base/Scripts/"

# Scripts in sequence, for the script's play time, without SmartPlay: as the frame-loop driver.
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvane Software\\Glimmerbox]\n"Play Mode"=dword:00000000\n"Play Time"=dword:%08x\n"Smart Play"=dword:00000000\n' \
  "$play_time" > "$work/config/Corvane/Glimmerbox.reg"

args=(--headless --unthrottled --frames "$frames" --base "$base")
[ "$saver_mode" = preview ] && args+=(/p 0)
[ "$catalogue" = yes ] || args+=(--script "$(basename "$script")")

XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work "$exe" "${args[@]}" \
  > "$work/output.txt" 2>&1 || { cat "$work/output.txt"; exit 1; }
"$suite" check "$script" "$work/data/Corvane/Glimmerbox 1.01 Log.txt"
