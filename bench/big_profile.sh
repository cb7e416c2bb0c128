#!/usr/bin/env bash
# Peak resident memory of the resident program under Wine against a bare tray program, and its
# time from start to the first question, with an empty profile and with a big one: 300
# services, 200 logon tasks and 100 Run values. Prints the figures and two ratios.
# Not a test: the figures are printed, never asserted.
# Arguments: KORVALIS_EXE BARE_TRAY_EXE DRIVER_EXE PREFIX (a Wine prefix of its own, made
# afresh). Needs a display.
set -uo pipefail
korvalis=$(realpath "$1") bare=$(realpath "$2") driver=$(realpath "$3")
export WINEPREFIX=$(realpath -m "$4") WINEDEBUG=-all
runner=$(dirname "$0")/../scripts/wine-run
rounds=9
question="Startup Programs Changed"
trap 'wineserver -k >/dev/null 2>&1' EXIT
rm -rf "$WINEPREFIX"
"$runner" "$WINEPREFIX" cmd /c exit </dev/null >/dev/null 2>&1
wineserver -w
# One server for the whole run, so every start is the program's own and not the prefix's; inside
# Wine's own desktop, where hiding a window does not wait for a window manager.
wineserver -p >/dev/null 2>&1 &
sleep 0.5
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Bench /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Bench /d 1024x768 /f >/dev/null 2>&1
wine explorer /desktop=Bench,1024x768 </dev/null >/dev/null 2>&1 &
sleep 2
drive_c=$(winepath -u 'C:\' 2>/dev/null)
local_folder=$(winepath -u 'C:\users' 2>/dev/null)/$(id -un)/AppData/Local/Korvalis
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

program_pid() {  # program_pid NAME: its Linux process in this prefix, once it runs (up to 30 s)
  local pid
  for _ in $(seq 1 300); do
    for pid in $(pgrep -x "${1:0:15}"); do
      tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$pid"; return; }
    done
    sleep 0.1
  done
}
peak_mb() { awk '/^VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$1/status" 2>/dev/null; }
stop() { kill "$1" 2>/dev/null; wait "$2" 2>/dev/null; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# "LEAST MEDIAN" of numbers on one line: on a shared machine the least is the steadier floor.
spread() { tr ' ' '\n' | sort -n | awk '{v[NR] = $1} END {print v[1], v[int((NR + 1) / 2)]}'; }

bare_peak() {
  "$runner" "$WINEPREFIX" "$bare" </dev/null >/dev/null 2>&1 &
  local run=$! pid
  pid=$(program_pid bare_tray.exe)
  sleep 5
  peak_mb "$pid"
  stop "$pid" "$run"
}

# A first start, every place guarded: no baseline, so nothing is asked; once the baseline it
# stores names the marker, and its first checks have run, its peak resident set in MB.
first_start_peak() {  # first_start_peak MARKER
  wine reg delete 'HKCU\Software\Brenmoor' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Brenmoor\Korvalis' /v GuardAllPlaces /d 1 /f >/dev/null 2>&1
  rm -rf "$local_folder"
  "$runner" "$WINEPREFIX" "$korvalis" </dev/null >/dev/null 2>&1 &
  local run=$! pid
  pid=$(program_pid korvalis.exe)
  for _ in $(seq 1 1200); do grep -aq "$1" "$local_folder/baseline.dat" 2>/dev/null && break; sleep 0.1; done
  sleep 5
  grep -aq "$1" "$local_folder/baseline.dat" 2>/dev/null && peak_mb "$pid" || echo "(not read)"
  stop "$pid" "$run"
}

# With that baseline stored, one Run value more: each round starts the program and times until
# the question is on the screen, then ends it unanswered, so the next round finds the same.
# Prints the least and the median time in ms, then the peak resident set at the last question.
start_to_question() {
  wine reg add "$run_key" /v BenchNewcomer /d 'C:\Bench\newcomer.exe' /f >/dev/null 2>&1
  local times=() peak="" round start run pid
  for ((round = 0; round < rounds; round++)); do
    start=$(now_ms)
    "$runner" "$WINEPREFIX" "$korvalis" </dev/null >/dev/null 2>&1 &
    run=$!
    if "$runner" "$WINEPREFIX" "$driver" wait "$question" 60000 </dev/null >/dev/null 2>&1; then
      times+=($(($(now_ms) - start)))
    fi
    pid=$(program_pid korvalis.exe)
    peak=$(peak_mb "$pid")
    stop "$pid" "$run"
  done
  wine reg delete "$run_key" /v BenchNewcomer /f >/dev/null 2>&1
  echo "$(echo "${times[*]:-0}" | spread) $peak"
}

# The big profile, written as setup programs that skip the system's interfaces would: services
# in one registry import, tasks as the scheduler's definition files, Run values in one import.
# The services start on demand: Wine starts automatic ones with the prefix, and the program
# reads and keeps a demand service as it does an automatic one.
install_big_profile() {
  local import="$drive_c/bench-profile.reg" i tasks="$drive_c/windows/system32/tasks"
  {
    printf 'REGEDIT4\r\n'
    for i in $(seq -w 1 300); do
      printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\BenchService%s]\r\n' "$i"
      printf '"Type"=dword:00000010\r\n"Start"=dword:00000003\r\n"ImagePath"="C:\\\\Bench\\\\service%s.exe"\r\n' "$i"
    done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n'
    for i in $(seq -w 1 100); do printf '"BenchRun%s"="C:\\\\Bench\\\\run%s.exe /background"\r\n' "$i" "$i"; done
  } >"$import"
  wine regedit /s 'C:\bench-profile.reg' >/dev/null 2>&1
  mkdir -p "$tasks"
  for i in $(seq -w 1 200); do
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE <<XML; } >"$tasks/BenchTask$i"
<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo><Date>2026-12-09T10:00:00</Date><Author>Bench</Author><URI>\\BenchTask$i</URI></RegistrationInfo>
  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>
  <Principals><Principal id="Author"><LogonType>InteractiveToken</LogonType><RunLevel>LeastPrivilege</RunLevel></Principal></Principals>
  <Settings><Enabled>true</Enabled><Hidden>false</Hidden><StartWhenAvailable>true</StartWhenAvailable></Settings>
  <Actions Context="Author"><Exec><Command>C:\\Bench\\task$i.exe</Command><Arguments>--at-logon --quiet</Arguments></Exec></Actions>
</Task>
XML
  done
}

bare=$(bare_peak)
empty_peak=$(first_start_peak winemenubuilder)
read -r empty_ms empty_median empty_question_peak <<<"$(start_to_question)"
install_big_profile
big_peak=$(first_start_peak BenchRun100)
read -r big_ms big_median big_question_peak <<<"$(start_to_question)"
wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1

echo "Peak resident memory: bare tray program $bare MB; korvalis.exe, first start, $empty_peak MB with an empty"
echo "  profile, $big_peak MB with 300 services, 200 logon tasks and 100 Run values; at a question $empty_question_peak MB and $big_question_peak MB"
echo "From start to the first question, least (median) of $rounds: $empty_ms ms ($empty_median ms) with the empty profile,"
echo "  $big_ms ms ($big_median ms) with the big one"
awk -v b="$bare" -v p="$big_peak" -v e="$empty_ms" -v g="$big_ms" -v em="$empty_median" -v gm="$big_median" 'BEGIN {
  if (b > 0) printf "  big profile peak against the bare tray program: %.2fx\n", p / b
  if (e > 0 && em > 0) printf "  big profile start against the empty one: %.2fx least against least, %.2fx median against median\n", g / e, gm / em }'
