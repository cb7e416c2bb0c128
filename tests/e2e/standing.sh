# What Korvalis remembers, driven as a user would in a fresh Wine prefix: a change made while it
# was not running is asked at the next start, a question left open by a killed program is asked
# again, a .reg import of 40 values is one question, and a refused value written back again and
# again is undone each time without a new question.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 ARTIFACTS=$3
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
DIALOG="Startup Programs Changed"

fresh_prefix e2e-standing-prefix

start
check "a first start without a baseline asks nothing" "1" "$(drive wait "$DIALOG" 2000; echo $?)"
close_from_tray
check "Close Korvalis ends it" "ended" "$(kill -0 "$korvalis_pid" 2>/dev/null && echo running || echo ended)"

# Closed, changed, started again: asked, and said to have happened while it was not running.
wine reg add "$RUN" /v Sneaked /d 'C:\Tools\sneaked.exe' /f >/dev/null
start
drive wait "$DIALOG" || failures=$((failures + 1))
labels=$(drive labels "$DIALOG")
check "the change made while closed is asked" "Sneaked" "$(grep -Fx Sneaked <<<"$labels")"
check "the dialog says when it happened" "While Korvalis was not running. Would you allow the following" \
  "$(grep -F 'not running' <<<"$labels")"
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the refused value to go" no_value "$RUN" Sneaked
check "No undoes a change made while closed" "" "$(reg_value "$RUN" Sneaked)"

# Ended from the task manager with a question open: the question comes back at the next start.
wine reg add "$RUN" /v Killed /d 'C:\Tools\killed.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
wine taskkill /f /im korvalis.exe >/dev/null 2>&1
for _ in $(seq 1 50); do kill -0 "$korvalis_pid" 2>/dev/null || break; sleep 0.2; done
start
drive wait "$DIALOG" || failures=$((failures + 1))
check "a question left open by a killed program is asked again" "Killed" "$(drive labels "$DIALOG" | grep -Fx Killed)"
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the killed question's value to go" no_value "$RUN" Killed

# A .reg import of 40 values: one grouped question; Undo all leaves none of them.
import=$(unix_path 'C:\import.reg')
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n'
  for i in $(seq 1 40); do printf '"Bundle%02d"="C:\\\\Bundle\\\\part%02d.exe /silent"\r\n' "$i" "$i"; done
} >"$import"
wine regedit /s 'C:\import.reg' >/dev/null 2>&1
GROUPED="$DIALOG (40)"
drive wait "$GROUPED" || failures=$((failures + 1))
check "the import is not asked one by one" "1" "$(drive wait "$DIALOG" 300; echo $?)"
drive screenshot "Z:$ARTIFACTS/grouped-import.bmp" && convert "$ARTIFACTS/grouped-import.bmp" "$ARTIFACTS/grouped-import.png" 2>/dev/null
drive press "$GROUPED" "&Undo all"
drive gone "$GROUPED"
left() { wine reg query "$RUN" 2>/dev/null | tr -d '\r' | grep -c ' Bundle[0-9]'; }
none_left() { [ "$(left)" -eq 0 ]; }
wait_for "the imported values to go" none_left
check "Undo all leaves none of the 40" "0" "$(left)"

# A refused value written back ten times in a row: no new question, and gone at the end.
wine reg add "$RUN" /v Nag /d 'C:\Tools\nag.exe' /f >/dev/null
drive wait "$DIALOG" && drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the refused value to go" no_value "$RUN" Nag
asked_again=0
for round in $(seq 1 10); do
  wine reg add "$RUN" /v Nag /d 'C:\Tools\nag.exe' /f >/dev/null
  drive wait "$DIALOG" 400 && { asked_again=$((asked_again + 1)); drive press "$DIALOG" "&No"; }
done
wait_for "the last write-back to be undone" no_value "$RUN" Nag
check "a refused value written back is never asked again" "0" "$asked_again"
check "and is gone at the end" "" "$(reg_value "$RUN" Nag)"
log=$(find "$PREFIX/drive_c/users" -name korvalis.log 2>/dev/null | head -1)
check "the log records each undoing" "yes" "$(grep -q 'Undone again: Nag C:\\Tools\\nag.exe' "$log" && echo yes)"

close_from_tray
finish
