# Every further place Korvalis guards, changed the way a setup program would (Wine's reg.exe
# in either registry view, cmd's copy and del in the Startup folders) while one Korvalis runs:
# each change is put to the user under its place's name, and a refusal undoes it.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 PROBE=$3 ARTIFACTS=$4
DIALOG="Startup Programs Changed"
V='Software\Microsoft\Windows\CurrentVersion'
NT='Software\Microsoft\Windows NT\CurrentVersion'
CONTROL='HKLM\SYSTEM\CurrentControlSet\Control'

fresh_prefix e2e-places-prefix

# "TYPE DATA" of a value as reg.exe shows it, nothing when it is missing. VIEW: /reg:32 or /reg:64.
reg_get() {  # reg_get VIEW KEY NAME
  wine reg query "$2" /v "$3" "$1" 2>/dev/null | tr -d '\r' |
    awk -v head="    $3    " 'index($0, head) == 1 { print substr($0, length(head) + 1) }' |
    sed 's/^\(REG_[A-Z_]*\)    /\1 /'
}
reg_set() {  # reg_set VIEW KEY NAME TYPE DATA
  wine reg add "$2" /v "$3" /t "$4" /d "$5" "$1" /f >/dev/null 2>&1
}
reg_is() { [ "$(reg_get "$1" "$2" "$3")" == "$4" ]; }
view_name() { [ "$1" == /reg:32 ] && echo " (32-bit)"; }
# undone WHAT VIEW KEY NAME EXPECTED: the value comes back to EXPECTED ("" for missing).
undone() {
  wait_for "$1" reg_is "$2" "$3" "$4" "$5"
  check "$1" "$5" "$(reg_get "$2" "$3" "$4")"
}
# refused_addition PLACE VIEW KEY NAME DATA [SUBKEY]: added, refused, deleted again.
refused_addition() {
  local place=$1 key=$3${6:+\\$6} name=${6:+$6\\}$4
  reg_set "$2" "$key" "$4" REG_SZ "$5"
  # Where Wine shows one key in both views, the change is one of the native place.
  [ "$2" == /reg:32 ] && [ "$(reg_get /reg:64 "$key" "$4")" != "REG_SZ $5" ] && place+=$(view_name "$2")
  answer_question "an addition to $place" "$name" "$5" "$place" added No &&
    undone "a refused addition to $place is deleted" "$2" "$key" "$4" ""
}
not_asked() { check "$1 is not asked about" "1" "$(drive wait "$DIALOG" 2500; echo $?)"; }

# What a machine that has run for a while holds, before Korvalis first looks: a shortcut in
# the user's Startup folder, a 32-bit Userinit and the usual BootExecute. Policies, Terminal
# Server\Wds and the 32-bit Active Setup are missing with their parents, as in a new prefix.
USER_STARTUP="$(cmd_echo '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
COMMON_STARTUP="$(cmd_echo '%ProgramData%')\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
QUARANTINE=$(unix_path "$(cmd_echo '%LOCALAPPDATA%')\\Korvalis\\Quarantine")
win "$PROBE" apply 10 1 Agent '"C:\Tools\agent.exe" -quiet'
LINK=$(unix_path "$USER_STARTUP\\Agent.lnk")
SAVED_LINK=$BUILD_DIR/e2e-places-agent.lnk
cp "$LINK" "$SAVED_LINK"
link_field() { lnkinfo "$1" 2>&1 | sed -n "s/^\t$2[[:space:]]*: //p"; }
WINLOGON="HKLM\\$NT\\Winlogon"
reg_set /reg:32 "$WINLOGON" Userinit REG_SZ 'C:\windows\system32\userinit.exe,'
reg_set /reg:64 "$CONTROL\\Session Manager" BootExecute REG_MULTI_SZ 'autocheck autochk *'
# The shortcut class the machine registers, also in the 32-bit view as Windows has it, and the
# user's 32-bit classes kept apart, as Windows keeps them (Wine shows the user's classes as one
# key in both views until Wow6432Node exists).
SHADOWED='{00021401-0000-0000-C000-000000000046}' OWN_CLASS='{5A1B2C3D-0000-4000-8000-00AA00BB00CC}'
wine reg add "HKLM\\Software\\Classes\\CLSID\\$SHADOWED\\InprocServer32" /ve /d 'C:\windows\syswow64\shell32.dll' \
  /reg:32 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Classes\Wow6432Node\CLSID' /f >/dev/null 2>&1
mkdir -p "$PREFIX/drive_c/places"
printf '@echo off\r\nrem started at logon\r\n' >"$PREFIX/drive_c/places/user-check.bat"
cp "$PREFIX/drive_c/places/user-check.bat" "$PREFIX/drive_c/places/machine-check.bat"

"$WINE_RUN" "$PREFIX" "$KORVALIS" </dev/null >"$BUILD_DIR/e2e-places-korvalis.log" 2>&1 &
if ! wait_for "the settings key" wine reg query 'HKCU\Software\Brenmoor' >/dev/null 2>&1; then
  check "Korvalis starts" "started" "not started"
  finish
fi
sleep 1.5  # the first snapshot

# The machine's four in the 32-bit view, where a 32-bit setup program writes them.
refused_addition "Local Machine Run" /reg:32 "HKLM\\$V\\Run" Run32 'C:\Tools\run32.exe'
refused_addition "Local Machine Run Once" /reg:32 "HKLM\\$V\\RunOnce" Once32 'C:\Tools\once32.exe'
refused_addition "Local Machine Services" /reg:32 "HKLM\\$V\\RunServices" Service32 'C:\Tools\svc32.exe'
refused_addition "Local Machine Service Once" /reg:32 "HKLM\\$V\\RunServicesOnce" ServiceOnce32 'C:\Tools\svc1.exe'

# A file that is not a shortcut, refused in either Startup folder: kept aside with its origin.
refused_file() {  # refused_file OWNER FOLDER FILE
  local owner=$1 where=$2 file=$3
  wine cmd /c copy "C:\\places\\$file" "$where\\" </dev/null >/dev/null 2>&1
  answer_question "a file copied into the $owner Startup Folder" "$file" "$where\\$file" \
    "$owner Startup Folder" added No
  wait_for "$file to be quarantined" test -e "$QUARANTINE/$file"
  check "a refused $file leaves the $owner Startup Folder" "gone" \
    "$([ -e "$(unix_path "$where\\$file")" ] && echo present || echo gone)"
  check "a refused $file is kept in the quarantine" "yes" \
    "$(cmp -s "$QUARANTINE/$file" "$PREFIX/drive_c/places/$file" && echo yes)"
  check "the quarantine notes where $file came from" "$where\\$file" \
    "$(tr -d '\r' <"$QUARANTINE/$file.origin.txt" 2>/dev/null)"
}
refused_file "Current User" "$USER_STARTUP" user-check.bat
refused_file "Local Machine" "$COMMON_STARTUP" machine-check.bat
wine cmd /c copy 'C:\places\user-check.bat' "$USER_STARTUP\\allowed.bat" </dev/null >/dev/null 2>&1
answer_question "an allowed file" allowed.bat "$USER_STARTUP\\allowed.bat" "Current User Startup Folder" added Yes
sleep 1.5
check "an allowed file stays where it was put" "present quarantine-free" \
  "$([ -e "$(unix_path "$USER_STARTUP\\allowed.bat")" ] && echo present) $([ -e "$QUARANTINE/allowed.bat" ] || echo quarantine-free)"

# A shortcut deleted from the user's Startup folder, refused: it is back as it was.
wine cmd /c del "$USER_STARTUP\\Agent.lnk" </dev/null >/dev/null 2>&1
check "cmd deleted the shortcut" "gone" "$([ -e "$LINK" ] && echo present || echo gone)"
answer_question "a deleted shortcut" Agent "\"$(link_field "$SAVED_LINK" 'Local path')\" $(link_field "$SAVED_LINK" \
  'Command line arguments')" "Current User Startup Folder" removed No
wait_for "the shortcut to come back" test -e "$LINK"
check "the refused deletion puts the same shortcut back" "yes" "$(cmp -s "$LINK" "$SAVED_LINK" && echo yes)"
check "lnkinfo reads its target" 'C:\Tools\agent.exe' "$(link_field "$LINK" 'Local path')"

# Policies Run: refused in each view, and allowed once.
POLICIES="$V\\Policies\\Explorer\\Run"
refused_addition "Current User Policies Run" /reg:64 "HKCU\\$POLICIES" Pushed 'C:\Tools\pushed.exe'
reg_set /reg:64 "HKCU\\$POLICIES" Allowed REG_SZ 'C:\Tools\allowed.exe'
answer_question "an allowed policy" Allowed 'C:\Tools\allowed.exe' "Current User Policies Run" added Yes
sleep 1.5
check "an allowed policy stays" 'REG_SZ C:\Tools\allowed.exe' "$(reg_get /reg:64 "HKCU\\$POLICIES" Allowed)"
refused_addition "Local Machine Policies Run" /reg:64 "HKLM\\$POLICIES" Machine 'C:\Tools\machine.exe'
# Wine shows one Policies key in both views: where it does, a change made in the 32-bit view
# is a change of the native place.
reg_set /reg:32 "HKLM\\$POLICIES" Machine32 REG_SZ 'C:\Tools\machine32.exe'
place="Local Machine Policies Run"
[ -z "$(reg_get /reg:64 "HKLM\\$POLICIES" Machine32)" ] && place+=" (32-bit)"
answer_question "a 32-bit addition to Policies Run" Machine32 'C:\Tools\machine32.exe' "$place" added No &&
  undone "a refused 32-bit addition to Policies Run is deleted" /reg:32 "HKLM\\$POLICIES" Machine32 ""
# A key both views share is one place: a change allowed there is not asked about a second time.
reg_set /reg:32 "HKLM\\$POLICIES" Shared REG_SZ 'C:\Tools\shared.exe'
answer_question "an allowed 32-bit addition to Policies Run" Shared 'C:\Tools\shared.exe' "$place" added Yes
not_asked "the same allowed change, once more in the other view,"
for view in /reg:64 /reg:32; do
  refused_addition "Local Machine Run Once Ex" $view "HKLM\\$V\\RunOnceEx" Value 'C:\Tools\setup.exe /finish' 0001
  refused_addition "Local Machine Active Setup" $view 'HKLM\Software\Microsoft\Active Setup\Installed Components' \
    StubPath 'C:\Tools\stub.exe /user' '{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}'
done
# RunOnceEx counts the values of the subkeys of its entries too.
refused_addition "Local Machine Run Once Ex" /reg:64 "HKLM\\$V\\RunOnceEx" Lib 'C:\Tools\lib.exe' '0002\Depend'

# Only Load and Run of the Windows key start anything; another value there is no question.
WINDOWS="HKCU\\$NT\\Windows"
reg_set /reg:64 "$WINDOWS" Device REG_SZ 'Printer,winspool,LPT1:'
refused_addition "Current User Windows Load and Run" /reg:64 "$WINDOWS" Load 'C:\Tools\load.exe'
check "the Windows key's other value is left alone" 'REG_SZ Printer,winspool,LPT1:' "$(reg_get /reg:64 "$WINDOWS" Device)"
refused_addition "Current User Logon Script" /reg:64 'HKCU\Environment' UserInitMprLogonScript 'C:\Tools\logon.cmd'

# Winlogon asks about every difference, and Korvalis never deletes Userinit or Shell.
reg_set /reg:64 "$WINLOGON" Userinit REG_SZ 'C:\windows\system32\userinit.exe,'
answer_question "an added Userinit" Userinit 'C:\windows\system32\userinit.exe,' "Local Machine Winlogon" added Yes
reg_set /reg:64 "$WINLOGON" Shell REG_SZ 'explorer.exe C:\Tools\shell.exe'
answer_question "a changed Shell" Shell 'explorer.exe C:\Tools\shell.exe' "Local Machine Winlogon" changed No \
  places-winlogon-change
undone "a refused Shell change is put back" /reg:64 "$WINLOGON" Shell 'REG_SZ explorer.exe'
# Deleted, then written back with a payload: no longer an addition that passes unasked.
wine reg delete "$WINLOGON" /v Userinit /f >/dev/null 2>&1
answer_question "a deleted Userinit" Userinit 'C:\windows\system32\userinit.exe,' "Local Machine Winlogon" removed Yes
reg_set /reg:64 "$WINLOGON" Userinit REG_SZ 'userinit.exe,C:\evil.exe,'
answer_question "Userinit written back with a payload" Userinit 'userinit.exe,C:\evil.exe,' \
  "Local Machine Winlogon" added No
undone "a refused Userinit payload gives way to the system's own" /reg:64 "$WINLOGON" Userinit \
  'REG_SZ C:\windows\system32\userinit.exe,'
not_asked "the Userinit written back"
reg_set /reg:32 "$WINLOGON" Userinit REG_SZ 'C:\windows\system32\userinit.exe,C:\Tools\init.exe'
answer_question "a changed 32-bit Userinit" Userinit 'C:\windows\system32\userinit.exe,C:\Tools\init.exe' \
  "Local Machine Winlogon (32-bit)" changed No
undone "a refused 32-bit Userinit change is put back" /reg:32 "$WINLOGON" Userinit 'REG_SZ C:\windows\system32\userinit.exe,'

# Terminal Startup asks about additions and changes, not removals.
RDPWD="$CONTROL\\Terminal Server\\Wds\\rdpwd"
reg_set /reg:64 "$RDPWD" StartupPrograms REG_SZ rdpclip
answer_question "an added StartupPrograms" StartupPrograms rdpclip "Local Machine Terminal Startup" added Yes
reg_set /reg:64 "$RDPWD" StartupPrograms REG_SZ 'rdpclip,C:\Tools\remote.exe'
answer_question "a changed StartupPrograms" StartupPrograms 'rdpclip,C:\Tools\remote.exe' \
  "Local Machine Terminal Startup" changed No
undone "a refused StartupPrograms change is put back" /reg:64 "$RDPWD" StartupPrograms 'REG_SZ rdpclip'
wine reg delete "$RDPWD" /v StartupPrograms /f >/dev/null 2>&1
not_asked "a removed StartupPrograms"

# BootExecute is a list of strings, shown joined and put back as the same list.
reg_set /reg:64 "$CONTROL\\Session Manager" BootExecute REG_MULTI_SZ 'autocheck autochk *\0C:\Tools\native.exe'
answer_question "a changed BootExecute" BootExecute 'autocheck autochk * C:\Tools\native.exe' \
  "Local Machine Boot Execute" changed No
undone "a refused BootExecute change is put back as a list" /reg:64 "$CONTROL\\Session Manager" BootExecute \
  'REG_MULTI_SZ autocheck autochk *'
refused_addition "Local Machine Boot Verification" /reg:64 "$CONTROL\\BootVerificationProgram" ImagePath 'C:\Tools\verify.exe'

# The Startup folders' locations: a change is put back unexpanded, with its type. The new data
# name the same folders, so a safety read meanwhile finds no folder emptied.
SHELL_FOLDERS="$V\\Explorer\\User Shell Folders"
MOVED='%APPDATA%\Microsoft\Windows\Start Menu\Programs\StartUp'
reg_set /reg:64 "HKCU\\$SHELL_FOLDERS" StartUp REG_EXPAND_SZ "$MOVED"
answer_question "a moved user Startup folder" StartUp "$MOVED" "Current User Startup Folder Location" changed No
undone "a refused move of the user Startup folder is put back" /reg:64 "HKCU\\$SHELL_FOLDERS" StartUp \
  'REG_EXPAND_SZ %USERPROFILE%\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\StartUp'
reg_set /reg:64 "HKLM\\$SHELL_FOLDERS" 'Common StartUp' REG_EXPAND_SZ "$COMMON_STARTUP"
answer_question "a moved common Startup folder" 'Common StartUp' "$COMMON_STARTUP" \
  "Local Machine Startup Folder Location" changed No
undone "a refused move of the common Startup folder is put back" /reg:64 "HKLM\\$SHELL_FOLDERS" 'Common StartUp' \
  'REG_EXPAND_SZ %ProgramData%\Microsoft\Windows\Start Menu\Programs\StartUp'
refused_addition "Local Machine Startup Folder Location" /reg:32 "HKLM\\$SHELL_FOLDERS" 'Common Startup' 'C:\Elsewhere'

# Image hijacks and the rest of the logon chain, in each view where the machine's key has one;
# other data in each view, since a refused value written again into a shared key is undone unasked.
for view in /reg:64 /reg:32; do
  refused_addition "Local Machine Image File Execution Options" $view "HKLM\\$NT\\Image File Execution Options" \
    Debugger "C:\\Tools\\debugger${view#/reg:}.exe" notepad.exe
  refused_addition "Local Machine Command Processor" $view 'HKLM\Software\Microsoft\Command Processor' AutoRun \
    "C:\\Tools\\autorun${view#/reg:}.cmd"
done
refused_addition "Current User Command Processor" /reg:64 'HKCU\Software\Microsoft\Command Processor' AutoRun \
  'C:\Tools\autorun.cmd'
refused_addition "Current User Winlogon" /reg:64 "HKCU\\$NT\\Winlogon" Shell 'C:\Tools\shell.exe'
refused_addition "Current User Screen Saver" /reg:64 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE 'C:\Tools\saver.scr'
# Windows ships AppInit_DLLs as an empty string: refused, it is emptied, not deleted.
for view in /reg:64 /reg:32; do
  place="Local Machine AppInit DLLs"
  dll="C:\\Tools\\hook${view#/reg:}.dll"
  reg_set $view "HKLM\\$NT\\Windows" AppInit_DLLs REG_SZ "$dll"
  [ $view == /reg:32 ] && [ "$(reg_get /reg:64 "HKLM\\$NT\\Windows" AppInit_DLLs)" != "REG_SZ $dll" ] && place+=" (32-bit)"
  answer_question "an AppInit DLL" AppInit_DLLs "$dll" "$place" added No &&
    undone "a refused AppInit DLL is emptied" $view "HKLM\\$NT\\Windows" AppInit_DLLs 'REG_SZ '
done

# A task seeded as its definition file, as the scheduler keeps it, set to run at logon: asked
# about by its path, and refused, it is deleted with its definition kept in the quarantine.
TASKS="$PREFIX/drive_c/windows/system32/tasks"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE <<'XML'; } >"$PREFIX/drive_c/places/Updater"
<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo><Date>2026-12-09T10:00:00</Date><URI>\Updater</URI></RegistrationInfo>
  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>
  <Settings><Enabled>true</Enabled><Hidden>true</Hidden></Settings>
  <Actions Context="Author"><Exec><Command>C:\Tools\updater.exe</Command><Arguments>-silent</Arguments></Exec></Actions>
</Task>
XML
wine cmd /c copy 'C:\places\Updater' 'C:\windows\system32\tasks\' </dev/null >/dev/null 2>&1
answer_question "a task registered for logon" '\Updater' 'C:\Tools\updater.exe -silent (at logon of any user)' \
  "Scheduled Tasks" added No
wait_for "the refused task to be deleted" test ! -e "$TASKS/Updater"
check "a refused task is deleted" "gone" "$([ -e "$TASKS/Updater" ] && echo present || echo gone)"
check "a refused task's definition is kept in the quarantine" "yes" \
  "$(cmp -s "$QUARANTINE/Updater.xml" "$PREFIX/drive_c/places/Updater" && echo yes)"
check "the quarantine notes which task it was" '\Updater' "$(tr -d '\r' <"$QUARANTINE/Updater.xml.origin.txt" 2>/dev/null)"
# A per-user class server, in each view: asked where it shadows the machine's class of that
# view, and No deletes the user's key; one for a class the machine lacks is how per-user
# programs register, and is not asked about.
USER_CLASSES='HKCU\Software\Classes\CLSID'
key_gone() { ! wine reg query "$2" "$1" >/dev/null 2>&1; }
for view in /reg:64 /reg:32; do
  server="C:\\Users\\Public\\shadow${view#/reg:}.dll"
  wine reg add "$USER_CLASSES\\$SHADOWED\\InprocServer32" /ve /d "$server" $view /f >/dev/null 2>&1
  answer_question "a user's server shadowing the machine's class" "$SHADOWED\\InprocServer32\\" "$server" \
    "Current User Class Servers$(view_name $view)" added No &&
    wait_for "the user's server key to go" key_gone $view "$USER_CLASSES\\$SHADOWED\\InprocServer32"
  check "a refused shadowing server's key is deleted$(view_name $view)" gone \
    "$(key_gone $view "$USER_CLASSES\\$SHADOWED\\InprocServer32" && echo gone || echo present)"
  wine reg add "$USER_CLASSES\\$OWN_CLASS\\InprocServer32" /ve /d "C:\\Users\\Public\\own${view#/reg:}.dll" $view \
    /f >/dev/null 2>&1
  not_asked "a user's server for a class the machine lacks$(view_name $view)"
done
default_of() {  # default_of VIEW KEY: the key's default value as "TYPE DATA"
  wine reg query "$2" /ve "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^    (Default)    \(REG_[A-Z_]*\)    /\1 /p'
}
MACHINE_SERVER="HKLM\\Software\\Classes\\CLSID\\$SHADOWED\\InprocServer32"
check "the machine's class keeps its server in each view" \
  'REG_SZ C:\windows\system32\shell32.dll|REG_SZ C:\windows\syswow64\shell32.dll' \
  "$(default_of /reg:64 "$MACHINE_SERVER")|$(default_of /reg:32 "$MACHINE_SERVER")"
finish
