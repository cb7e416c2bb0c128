# The installer in a fresh Wine prefix, used as a user would: a silent per-user install, the
# installed program started, the uninstall entry's own command closing it politely and leaving
# the settings; then an install into a chosen folder, an update over the running copy, and an
# uninstall that removes the settings as well; last, a silent install for all users into
# Program Files and its uninstall.
source "$(dirname "$0")/lib.sh"
INSTALLER=$1 PROBE=$2
UNINSTALL='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvalis'
MACHINE_UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvalis'
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
SETTINGS='HKCU\Software\Brenmoor'
PLACES='HKCU\Software\Windows Brenmoor'
SOURCE='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Korvalis'

# A prefix of this test's own: the first install finds no trace of an earlier one.
PREFIX=$(realpath -m "$BUILD_DIR/package-prefix")
export WINEPREFIX=$PREFIX
rm -rf "$PREFIX" "$BUILD_DIR"/package-test-*.log
stop_wine_on_exit
"$WINE_RUN" "$PREFIX" cmd /c exit </dev/null >/dev/null 2>&1
wineserver -w
# A persistent server makes each of the many reg.exe calls below start in a tenth of a second.
wineserver -p >/dev/null 2>&1 &
sleep 0.5

reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
reg_type() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *\(REG_[A-Z_]*\).*/\1/p"; }
has_key() { wine reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
state() { [ -e "$1" ] && echo present || echo gone; }
key_state() { has_key "$1" && echo present || echo gone; }
wait_for() {  # wait_for DESCRIPTION COMMAND...: polls for up to 10 s
  local what=$1; shift
  for _ in $(seq 1 50); do "$@" && return 0; sleep 0.2; done
  echo "timed out waiting for: $what"; return 1
}
# Output into files: a program the installer starts would hold a pipe open until it ends.
install() { wine "$INSTALLER" /S "$@" </dev/null >>"$BUILD_DIR/package-test-setup.log" 2>&1; }
start_korvalis() {  # start_korvalis FOLDER LOGNAME; the closing record goes to the log
  KORVALIS_WINEDEBUG=+eventlog "$WINE_RUN" "$PREFIX" "$1\\korvalis.exe" \
    </dev/null >"$BUILD_DIR/package-test-$2.log" 2>&1 &
  korvalis_pid=$!
}
running() { kill -0 "$1" 2>/dev/null; }
# A program that the installer starts is no child of this script: it is found by its path.
running_from() { ps -eo args= | grep -Fxq "$1\\korvalis.exe"; }
closed_politely() { grep -q 'Korvalis closed' "$BUILD_DIR/package-test-$1.log" && echo yes || echo no; }
times_started() { cat "$log" 2>/dev/null | grep -c 'Korvalis started'; }

local_appdata=$(win cmd /c echo %LOCALAPPDATA%)
appdata=$(win cmd /c echo %APPDATA%)
default_dir="$local_appdata\\Programs\\Korvalis"
shortcut=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Korvalis.lnk")
log=$(unix_path "$local_appdata\\Korvalis\\korvalis.log")

# --- 1. A silent install into the default per-user folder -------------------------------------
install
dir=$(unix_path "$default_dir")
for file in korvalis.exe uninstall.exe README.txt; do
  check "the install puts $file into %LOCALAPPDATA%\\Programs\\Korvalis" present "$(state "$dir/$file")"
done
check "the Start-menu shortcut starts the installed program" "$default_dir\\korvalis.exe" \
  "$(lnkinfo "$shortcut" 2>/dev/null | sed -n 's/^\tLocal path[[:space:]]*: //p')"
check "the uninstall entry names the program" Korvalis "$(reg_value "$UNINSTALL" DisplayName)"
check "the uninstall entry has the version" 1.0.0 "$(reg_value "$UNINSTALL" DisplayVersion)"
check "the uninstall entry has the publisher" Brenmoor "$(reg_value "$UNINSTALL" Publisher)"
check "the uninstall entry runs the installed uninstaller" "\"$default_dir\\uninstall.exe\"" \
  "$(reg_value "$UNINSTALL" UninstallString)"
check "the uninstall entry shows the program's icon" "$default_dir\\korvalis.exe" "$(reg_value "$UNINSTALL" DisplayIcon)"
check "the uninstall entry offers no modify" 0x1 "$(reg_value "$UNINSTALL" NoModify)"
check "the uninstall entry offers no repair" 0x1 "$(reg_value "$UNINSTALL" NoRepair)"
# Every process under Wine has an administrator's full rights, so this is the elevated install.
check "an elevated install names the installed program as the event message file" "$default_dir\\korvalis.exe" \
  "$(reg_value "$SOURCE" EventMessageFile)"
check "the event message file is a path to expand" REG_EXPAND_SZ "$(reg_type "$SOURCE" EventMessageFile)"
check "the event source takes errors, warnings and information" 0x7 "$(reg_value "$SOURCE" TypesSupported)"
# A folder of the user's own: the install check names it, with the user's own SID.
check "the install check finds the per-user folder changeable by its user" yes \
  "$(win "$PROBE" changeable "$default_dir\\korvalis.exe" | grep -F "$default_dir: " | grep -q 'S-1-5-21-' && echo yes)"
size_kb=$(( $(reg_value "$UNINSTALL" EstimatedSize) ))
check "the estimated size covers the installed files" yes \
  "$([ $((size_kb * 1024)) -ge $(cat "$dir"/* | wc -c) ] && [ "$size_kb" -lt 100000 ] && echo yes || echo "no: $size_kb KB")"

# --- 2. The installed program runs; its autostart value is set as it would set it -------------
wine reg add "$RUN" /v Korvalis /d "\"$default_dir\\korvalis.exe\"" /f >/dev/null
wine reg add "$RUN" /v Other /d 'C:\Tools\other.exe' /f >/dev/null
start_korvalis "$default_dir" first
wait_for "the settings key" has_key "$SETTINGS"
check "the installed program starts and creates its settings key" present "$(key_state "$SETTINGS")"

# --- 3. Uninstalling with the entry's own command: the program goes, the settings stay ----------
uninstaller=$(reg_value "$UNINSTALL" UninstallString | tr -d '"')
wine "$uninstaller" /S </dev/null >>"$BUILD_DIR/package-test-setup.log" 2>&1
# It copies itself away to delete its own file, so it returns before the work is done.
wait_for "the uninstall to finish" eval '! running $korvalis_pid && no_key "$UNINSTALL" && [ ! -e "$dir" ]'
check "the uninstall ends the running program" ended "$(running $korvalis_pid && echo running || echo ended)"
check "the program was closed politely and wrote its closing record" yes "$(closed_politely first)"
check "the program folder is removed" gone "$(state "$dir")"
check "the Start-menu shortcut is removed" gone "$(state "$shortcut")"
check "the uninstall entry is removed" gone "$(key_state "$UNINSTALL")"
check "the program's autostart value is removed" "" "$(reg_value "$RUN" Korvalis)"
check "another program's autostart value stays" 'C:\Tools\other.exe' "$(reg_value "$RUN" Other)"
check "the event source naming the removed program is removed" gone "$(key_state "$SOURCE")"
check "the switches saved at closing stay" 1 "$(reg_value "$SETTINGS\\Korvalis" Monitoring)"
check "the activity log stays" present "$(state "$log")"

# --- 4. A chosen folder, and an update over the running copy -----------------------------------
chosen='C:\Apps\Korvalis'
install "/D=$chosen"
dir=$(unix_path "$chosen")
check "/D= chooses the install folder" present "$(state "$dir/korvalis.exe")"
check "the event source names the program in the chosen folder" "$chosen\\korvalis.exe" \
  "$(reg_value "$SOURCE" EventMessageFile)"
check "the uninstall entry knows the chosen folder" "$chosen" "$(reg_value "$UNINSTALL" InstallLocation)"
# An autostart value of another copy of Korvalis is not the installed program's to remove. It is
# written while Korvalis is not running, which the next start would ask about; without a stored
# baseline the start is a first one and takes it as it stands. (Turning questions off while it
# is closed would itself be a question now.)
rm -f "$(unix_path "$local_appdata\\Korvalis\\baseline.dat")"
wine reg add "$RUN" /v Korvalis /d '"C:\Elsewhere\korvalis.exe"' /f >/dev/null
wine reg add "$PLACES\\Korvalis" /v Placement /d x /f >/dev/null
wine reg add "$PLACES\\Another" /v Placement /d y /f >/dev/null
rm -f "$log"
start_korvalis "$chosen" second
wait_for "the program's first log line" grep -qs 'Setting loaded' "$log"
install "/D=$chosen"
wait_for "the running copy to end" eval '! running $korvalis_pid'
check "an update closes the running copy" ended "$(running $korvalis_pid && echo running || echo ended)"
check "the copy was closed politely" yes "$(closed_politely second)"
wait_for "the updated program to start" eval '[ "$(times_started)" -ge 2 ]'
check "a silent update starts the closed program again" 2 "$(times_started)"
check "the program started again is the installed one" yes "$(running_from "$chosen" && echo yes)"

# --- 5. Uninstalling with /REMOVESETTINGS, also while the program runs -------------------------
# _?= makes the uninstaller work in place and wait; it then cannot delete its own file, which
# the entry's command (above) does by running a copy.
# The event source is made to name another copy, which the uninstall must leave registered.
wine reg add "$SOURCE" /v EventMessageFile /t REG_EXPAND_SZ /d 'C:\Elsewhere\korvalis.exe' /f >/dev/null
wine "$chosen\\uninstall.exe" /S /REMOVESETTINGS "_?=$chosen" </dev/null >>"$BUILD_DIR/package-test-setup.log" 2>&1
check "the uninstall ends the program the update started" ended "$(running_from "$chosen" && echo running || echo ended)"
for file in korvalis.exe README.txt; do
  check "$file is removed from the chosen folder" gone "$(state "$dir/$file")"
done
check "the uninstall entry is removed again" gone "$(key_state "$UNINSTALL")"
check "the shortcut is removed again" gone "$(state "$shortcut")"
check "another copy's autostart value stays" '"C:\Elsewhere\korvalis.exe"' "$(reg_value "$RUN" Korvalis)"
check "an event source naming another copy stays" 'C:\Elsewhere\korvalis.exe' "$(reg_value "$SOURCE" EventMessageFile)"
check "/REMOVESETTINGS removes the switches" gone "$(key_state "$SETTINGS\\Korvalis")"
check "/REMOVESETTINGS removes the publisher key left empty" gone "$(key_state "$SETTINGS")"
check "/REMOVESETTINGS removes the dialog places" gone "$(key_state "$PLACES\\Korvalis")"
check "another program's places under the publisher stay" y "$(reg_value "$PLACES\\Another" Placement)"
check "/REMOVESETTINGS removes the activity log and its folder" gone "$(state "$(dirname "$log")")"

# --- 6. For all users: into Program Files, with the entry and shortcut of the machine ----------
install /ALLUSERS
program_files=$(win cmd /c echo %ProgramW6432%)
all_dir="$program_files\\Korvalis"
dir=$(unix_path "$all_dir")
for file in korvalis.exe uninstall.exe README.txt; do
  check "/ALLUSERS puts $file into Program Files" present "$(state "$dir/$file")"
done
check "the machine's uninstall entry knows the folder" "$all_dir" "$(reg_value "$MACHINE_UNINSTALL" InstallLocation)"
check "an install for all users makes no entry of the user's" gone "$(key_state "$UNINSTALL")"
common_programs=$(win cmd /c echo %ProgramData%)'\Microsoft\Windows\Start Menu\Programs'
common_shortcut=$(unix_path "$common_programs\\Korvalis.lnk")
check "the shortcut is in the Start menu of all users" "$all_dir\\korvalis.exe" \
  "$(lnkinfo "$common_shortcut" 2>/dev/null | sed -n 's/^\tLocal path[[:space:]]*: //p')"
start_korvalis "$all_dir" allusers
wait_for "the settings key" has_key "$SETTINGS"
check "the program installed for all users starts" present "$(key_state "$SETTINGS")"
# Wine keeps no access lists on files but makes them from the host's file modes, which give the
# user everything: the folder in Program Files cannot be found clean here, only on Windows.
uninstaller=$(reg_value "$MACHINE_UNINSTALL" UninstallString | tr -d '"')
wine "$uninstaller" /S </dev/null >>"$BUILD_DIR/package-test-setup.log" 2>&1
wait_for "the uninstall for all users to finish" eval '! running $korvalis_pid && no_key "$MACHINE_UNINSTALL" && [ ! -e "$dir" ]'
check "the uninstall for all users ends the program" ended "$(running $korvalis_pid && echo running || echo ended)"
check "the Program Files folder is removed" gone "$(state "$dir")"
check "the machine's uninstall entry is removed" gone "$(key_state "$MACHINE_UNINSTALL")"
check "the shortcut of all users is removed" gone "$(state "$common_shortcut")"
check "the event source naming it is removed" gone "$(key_state "$SOURCE")"
finish
