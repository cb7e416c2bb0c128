#!/usr/bin/env bash
# Peak resident memory of the resident program under Wine, with and without a 600 MB file in
# the current user's Startup folder: it must stay flat whatever the file's size.
# Not a test: the figures are printed, never asserted.
# Arguments: KORVALIS_EXE PREFIX (a Wine prefix of its own, made when missing). Needs a display.
set -uo pipefail
korvalis=$(realpath "$1")
export WINEPREFIX=$(realpath -m "$2") WINEDEBUG=-all
runner=$(dirname "$0")/../scripts/wine-run
trap 'wineserver -k >/dev/null 2>&1' EXIT
"$runner" "$WINEPREFIX" cmd /c exit </dev/null >/dev/null 2>&1
startup=$(winepath -u 'C:\users' 2>/dev/null)/$(id -un)/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/StartUp
mkdir -p "$startup"

program_pid() {
  for pid in $(pgrep -x korvalis.exe); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$pid"; return; }
  done
}
local_folder=$(winepath -u 'C:\users' 2>/dev/null)/$(id -un)/AppData/Local/Korvalis
# Starts the program afresh (no baseline, so nothing is asked), waits until the baseline it
# stores after its first snapshot names the file given (the folder has been read), lets it run
# its first checks, and prints its peak resident set in MB.
peak() {  # peak NAME_IN_THE_BASELINE
  wine reg delete 'HKCU\Software\Brenmoor' /f >/dev/null 2>&1
  rm -rf "$local_folder"
  "$runner" "$WINEPREFIX" "$korvalis" </dev/null >/dev/null 2>&1 &
  local run=$! pid=""
  for _ in $(seq 1 300); do pid=$(program_pid) && [ -n "$pid" ] && break; sleep 0.1; done
  [ -n "$pid" ] || { echo "?"; return; }
  for _ in $(seq 1 1200); do grep -aq "$1" "$local_folder/baseline.dat" 2>/dev/null && break; sleep 0.1; done
  grep -aq "$1" "$local_folder/baseline.dat" 2>/dev/null || { kill "$pid"; wait "$run"; echo "(not read)"; return; }
  sleep 5
  local kb
  kb=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  kill "$pid" 2>/dev/null
  wait "$run" 2>/dev/null
  awk -v kb="$kb" 'BEGIN {printf "%.1f", kb / 1024}'
}

big="$startup/big-installer.exe"
rm -f "$big"
without=$(peak winemenubuilder)
head -c $((600 * 1024 * 1024)) /dev/urandom >"$big"
with=$(peak big-installer.exe)
rm -f "$big"
echo "Peak resident memory of korvalis.exe: $without MB with an empty Startup folder, $with MB with a 600 MB file in it"
