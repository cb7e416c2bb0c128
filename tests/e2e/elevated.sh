# The elevated copy driven directly, as the resident program starts it (under Wine every process
# is an administrator already, and "runas" asks nothing): a request file in, its steps shown in a
# window of its own, carried out on OK only, answered by the exit code alone and read back in the
# places themselves: nothing is written beside the request. An entry whose place holds other
# data now is left alone, and a request for a place outside the table is refused unshown. Then
# the resident program with a key access list that lets nobody write the machine's Run key, as a
# standard user's token would: its No is offered as an undo as administrator, and the list is
# put back, as administrator rights would, while the elevated copy shows its steps.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 ARTIFACTS=$3 PROBE=$4
WINDOW="Korvalis as Administrator"
RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
screenshot() { drive screenshot "Z:$ARTIFACTS/$1.bmp" && convert "$ARTIFACTS/$1.bmp" "$ARTIFACTS/$1.png" 2>/dev/null; }
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
deletion() {  # deletion SECTION NAME COMMAND: delete the value that holds exactly this command
  echo "delete $1 $(hex "$2") $(hex "$2") $(hex "$3") 0 -"
}
request() {  # request FILE LINE...: writes the request with its header, verb and end
  local file=$1; shift
  { echo "Korvalis elevated request 1"; echo undo; printf '%s\n' "$@"; echo end; } >"$PREFIX/drive_c/Requests/$file"
}
elevated() {  # elevated FILE: runs the elevated copy on it in the background; sets elevated_pid
  "$WINE_RUN" "$PREFIX" "$KORVALIS" /elevated "C:\\Requests\\$1" </dev/null >/dev/null 2>&1 &
  elevated_pid=$!
}
beside() { ls "$PREFIX/drive_c/Requests" | grep -v '\.request$' | tr '\n' ' '; }

fresh_prefix e2e-elevated-prefix
mkdir -p "$PREFIX/drive_c/Requests"
wine reg add "$RUN" /v Payload /d 'C:\Tools\payload.exe /q' /f >/dev/null
wine reg add "$RUN" /v Moved /d 'C:\Tools\new.exe' /f >/dev/null

# One request for two refusals: the payload as it is, and an entry whose command changed since.
request undo.request "$(deletion 4 Payload 'C:\Tools\payload.exe /q')" "$(deletion 4 Moved 'C:\Tools\old.exe')"
elevated undo.request
drive wait "$WINDOW" || failures=$((failures + 1))
check "the window says what it will do before doing it" "With administrator rights Korvalis will do this, and nothing else:" \
  "$(drive labels "$WINDOW" | grep -F 'nothing else')"
check "nothing is done before the OK" "C:\\Tools\\payload.exe /q" "$(reg_value "$RUN" Payload)"
screenshot elevated-copy
drive press "$WINDOW" "&OK"
wait "$elevated_pid"
check "the elevated copy ends answered" "0" "$?"
check "the machine's value is undone" "" "$(reg_value "$RUN" Payload)"
check "the changed entry is left alone" "C:\\Tools\\new.exe" "$(reg_value "$RUN" Moved)"

# Cancel in its window: nothing done, and each entry answered as declined.
request cancel.request "$(deletion 4 Moved 'C:\Tools\new.exe')"
elevated cancel.request
drive wait "$WINDOW" || failures=$((failures + 1))
drive press "$WINDOW" "&Cancel"
wait "$elevated_pid"
check "a cancelled request ends declined" "1" "$?"
check "and leaves the value" "C:\\Tools\\new.exe" "$(reg_value "$RUN" Moved)"

# A place outside the table, and the user's own Run key: refused before anything is shown.
for section in 200 8; do
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Moved /d 'C:\Tools\new.exe' /f >/dev/null
  request outside.request "$(deletion $section Moved 'C:\Tools\new.exe')"
  elevated outside.request
  wait "$elevated_pid"
  check "section $section is refused" "2" "$?"
  check "section $section: no window was shown" "1" "$(drive wait "$WINDOW" 500; echo $?)"
done
check "the machine's value is still there" "C:\\Tools\\new.exe" "$(reg_value "$RUN" Moved)"

# Files in the all-users Startup folder, each known by its name, size and SHA-256: the one that
# holds what the request says is quarantined, one swapped for other bytes is left alone, and a
# name that leaves the folder is refused unshown.
COMMON_STARTUP="$(cmd_echo '%ProgramData%')\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
QUARANTINE=$(unix_path "$(cmd_echo '%ProgramData%')\\Korvalis\\Quarantine")
FOLDER=$(unix_path "$COMMON_STARTUP")
file_deletion() {  # file_deletion NAME CONTENT: delete the file of the Startup folder holding this
  local bytes; bytes=$(printf '%s' "$2" | wc -c)
  echo "delete 0 $(hex "$1") $(hex "$1") $(hex "$COMMON_STARTUP\\$1") 0 - $bytes $(printf '%s' "$2" | sha256sum | cut -d' ' -f1)"
}
mkdir -p "$FOLDER"
printf '%s' 'echo payload' >"$FOLDER/payload.bat"
printf '%s' 'echo swapped' >"$FOLDER/swapped.bat"
request files.request "$(file_deletion payload.bat 'echo payload')" "$(file_deletion swapped.bat 'echo before')"
elevated files.request
drive wait "$WINDOW" || failures=$((failures + 1))
drive press "$WINDOW" "&OK"
wait "$elevated_pid"
check "the files' request ends answered" "0" "$?"
check "the file is taken from the Startup folder" "no" "$([ -e "$FOLDER/payload.bat" ] && echo yes || echo no)"
check "into the machine's quarantine" "echo payload" "$(cat "$QUARANTINE/payload.bat" 2>/dev/null)"
check "the swapped file is left alone" "echo swapped" "$(cat "$FOLDER/swapped.bat" 2>/dev/null)"
request climbs.request "$(file_deletion '..\swapped.bat' 'echo swapped')"
elevated climbs.request
wait "$elevated_pid"
check "a file name that leaves the folder is refused" "2" "$?"
check "nothing was written beside the requests" "" "$(beside)"
check "the user's value is still there" "C:\\Tools\\new.exe" \
  "$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' Moved)"

DIALOG="Startup Programs Changed" OFFER="Undo as Administrator"
RUN_PATH='Software\Microsoft\Windows\CurrentVersion\Run'
start
wine reg add "$RUN" /v Updater /d 'C:\Tools\upd.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
win "$PROBE" dacl "$RUN_PATH" 'D:P(A;OICI;KR;;;WD)(A;OICI;RCWD;;;BA)'
drive press "$DIALOG" "&No"
drive wait "$OFFER" || failures=$((failures + 1))
check "the refusal is offered as an undo as administrator" \
  "These refused changes could not be undone: administrator rights are needed." \
  "$(drive labels "$OFFER" | grep -F 'administrator rights')"
screenshot undo-offer
drive press "$OFFER" "&Undo as administrator"
drive wait "$WINDOW" || failures=$((failures + 1))
# While the elevated copy waits for its OK, the resident's tray answers, and a change made
# meanwhile is asked about once the wait is over.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Meanwhile /d 'C:\Tools\meanwhile.exe' /f >/dev/null
drive tray 201 202 203 202
check "the options open while Korvalis as administrator waits" "0" "$(drive wait "Korvalis Options" 5000; echo $?)"
drive closebox "Korvalis Options"
drive gone "Korvalis Options"
win "$PROBE" dacl "$RUN_PATH" 'D:P(A;OICI;KA;;;WD)'
drive press "$WINDOW" "&OK"
wait_for "the value undone as administrator" no_value "$RUN" Updater
check "the value undone as administrator is gone" "" "$(reg_value "$RUN" Updater)"
drive wait "$DIALOG" || failures=$((failures + 1))
check "the change made during the wait is asked" "Meanwhile" "$(drive labels "$DIALOG" | grep -xF Meanwhile)"
drive press "$DIALOG" "&Yes"
drive gone "$DIALOG"
log=$(find "$PREFIX/drive_c/users" -name korvalis.log 2>/dev/null | head -1)
check "the undo is logged" "yes" "$(grep -qF 'Undone as administrator: Updater C:\Tools\upd.exe' "$log" && echo yes)"

# An undo that fails as administrator too is a notice and a problem, never a box that holds the
# guard: the next change is asked about with nothing closed in between.
wine reg add "$RUN" /v Stuck /d 'C:\Tools\stuck.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
win "$PROBE" dacl "$RUN_PATH" 'D:P(A;OICI;KR;;;WD)(A;OICI;RCWD;;;BA)'
drive press "$DIALOG" "&No"
drive wait "$OFFER" && drive press "$OFFER" "&Undo as administrator"
drive wait "$WINDOW" && drive press "$WINDOW" "&OK"
wait_for "the failure in the log" grep -qF 'Problem: Stuck in ' "$log"
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Next /d 'C:\Tools\next.exe' /f >/dev/null
check "a change after a failed undo is asked at once" "0" "$(drive wait "$DIALOG" 5000; echo $?)"
check "the next question is about it" "Next" "$(drive labels "$DIALOG" | grep -xF Next)"
drive press "$DIALOG" "&Yes"
drive gone "$DIALOG"
check "the failure names the entry" "yes" \
  "$(grep -qF 'Stuck is still there: it could not be undone as administrator' "$log" && echo yes)"
win "$PROBE" dacl "$RUN_PATH" 'D:P(A;OICI;KA;;;WD)'
close_from_tray
finish
