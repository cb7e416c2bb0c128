# The resident program in a fresh Wine prefix, driven from another process as a user would:
# changes made with Wine's own reg.exe are put to the "user", the tray opens the options, and
# "Close Korvalis" ends it with its switches saved and the closing record reported. The Run key
# deleted and made again is watched again at once.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 ARTIFACTS=$3
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
DIALOG="Startup Programs Changed"
OPTIONS="Korvalis Options"

fresh_prefix e2e-prefix

screenshot() { drive screenshot "Z:$ARTIFACTS/$1.bmp" && convert "$ARTIFACTS/$1.bmp" "$ARTIFACTS/$1.png" 2>/dev/null; }

KORVALIS_WINEDEBUG=+eventlog "$WINE_RUN" "$PREFIX" "$KORVALIS" 2>"$BUILD_DIR/e2e-korvalis.log" &
korvalis_pid=$!
wait_for "the settings key" wine reg query 'HKCU\Software\Brenmoor' >/dev/null 2>&1
check "the first start creates the settings key" "yes" "$(wine reg query 'HKCU\Software\Brenmoor' >/dev/null 2>&1 && echo yes)"
sleep 1.5   # the first snapshot and the first tick

# The Run key deleted and made again, as a cleaner does, and a value added to it later: asked
# within seconds, not at the once-a-minute read. Then that added value refused: it is deleted again.
wine reg delete "$RUN" /f >/dev/null 2>&1
wine reg add "$RUN" /f >/dev/null
sleep 3
added=$(date +%s%N)
wine reg add "$RUN" /v Updater /d 'C:\Tools\upd.exe /q' /f >/dev/null
drive wait "$DIALOG" 5000 || failures=$((failures + 1))
echo "asked $(( ($(date +%s%N) - added) / 1000000 )) ms after the value was added to the key made again"
labels=$(drive labels "$DIALOG")
for text in "Updater" 'C:\Tools\upd.exe /q' "in Current User Run" "has been added"; do
  check "the dialog shows \"$text\"" "$text" "$(grep -Fx -- "$text" <<<"$labels")"
done
screenshot change-dialog
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the refused value to go" no_value "$RUN" Updater
check "a refused addition is deleted" "" "$(reg_value "$RUN" Updater)"

# An added value allowed: it stays.
wine reg add "$RUN" /v Allowed /d 'C:\Tools\ok.exe' /f >/dev/null
drive wait "$DIALOG" && drive press "$DIALOG" "&Yes"
drive gone "$DIALOG"; sleep 2
check "an allowed addition stays" 'C:\Tools\ok.exe' "$(reg_value "$RUN" Allowed)"

# A removal refused: the value is written back with its command.
wine reg delete "$RUN" /v Allowed /f >/dev/null
drive wait "$DIALOG"
check "the removal is announced" "has been removed" "$(drive labels "$DIALOG" | grep -Fx 'has been removed')"
drive press "$DIALOG" "&No"
wait_for "the removed value to come back" has_value "$RUN" Allowed
check "a refused removal is written back" 'C:\Tools\ok.exe' "$(reg_value "$RUN" Allowed)"

# The tray: a double click opens the options; notification off and autostart on.
drive tray 201 202 203 202
drive wait "$OPTIONS" || failures=$((failures + 1))
check "the options show the switches" "Enable Startup &Mointoring=1 Enable &Notification=1 Enable &Logs=1 Ask about &updates by the same publisher too=0" \
  "$(drive checks "$OPTIONS" | grep -v Automatically | tr '\n' ' ' | sed 's/ $//')"
screenshot options-dialog
drive check "$OPTIONS" "Enable &Notification" 0
drive check "$OPTIONS" "&Automatically start with Windows" 1
drive press "$OPTIONS" "&OK"
drive gone "$OPTIONS"
wait_for "the autostart value" has_value "$RUN" Korvalis
check "autostart names the program" "korvalis.exe\"" "$(reg_value "$RUN" Korvalis | grep -o 'korvalis.exe"$')"
sleep 2
check "Korvalis does not ask about its own autostart value" "1" "$(drive wait "$DIALOG" 1500; echo $?)"

# With notification off a change is allowed without a question.
wine reg add "$RUN" /v Quiet /d 'C:\q.exe' /f >/dev/null
check "no dialog with notification off" "1" "$(drive wait "$DIALOG" 3000; echo $?)"
check "the silent change stays" 'C:\q.exe' "$(reg_value "$RUN" Quiet)"

drive tray 201 202 203 202
drive wait "$OPTIONS" && drive check "$OPTIONS" "Enable &Notification" 1 && drive press "$OPTIONS" "&OK"
drive gone "$OPTIONS"

# The options opened from the tray while a question is open, OK pressed as they were: a value
# another program adds afterwards is still asked about.
wine reg add "$RUN" /v Pending /d 'C:\Tools\pending.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
drive tray 201 202 203 202
drive wait "$OPTIONS" && drive press "$OPTIONS" "&OK"
drive gone "$OPTIONS"
wine reg add "$RUN" /v Second /d 'C:\Tools\second.exe' /f >/dev/null
drive press "$DIALOG" "&Yes"
drive gone "$DIALOG"
drive wait "$DIALOG" || failures=$((failures + 1))
check "a value added after Options OK is asked" "Second" "$(drive labels "$DIALOG" | grep -Fx Second)"
drive press "$DIALOG" "&No"
wait_for "the refused second value to go" no_value "$RUN" Second

# Closing while a question is open: the tray menu still works, "Close Korvalis" ends the
# dialog as a No, and the refused addition is undone before the program ends.
wine reg add "$RUN" /v LastMinute /d 'C:\Tools\late.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
# The tray menu: a right click opens it; Up four times (past the three items added after it)
# then Enter chooses "Close Korvalis".
drive tray 204 205 &
sleep 1
screenshot tray-menu
drive menu 38 38 38 38 13
wait
for _ in $(seq 1 50); do kill -0 "$korvalis_pid" 2>/dev/null || break; sleep 0.2; done
check "Close Korvalis ends the program" "ended" "$(kill -0 "$korvalis_pid" 2>/dev/null && echo running || echo ended)"
check "the question open at closing counts as No" "" "$(reg_value "$RUN" LastMinute)"
check "Notification is saved on again" "1" "$(reg_value 'HKCU\Software\Brenmoor\Korvalis' Notification)"
check "Logs is saved on" "1" "$(reg_value 'HKCU\Software\Brenmoor\Korvalis' Logs)"
check "Monitoring is saved on" "1" "$(reg_value 'HKCU\Software\Brenmoor\Korvalis' Monitoring)"
check "the closing record was reported" "yes" "$(grep -q 'Korvalis closed' "$BUILD_DIR/e2e-korvalis.log" && echo yes)"
# Each decision is a record of its own id: 1003 a refusal, reported as a warning, with its strings.
check "the refusal was recorded as event 1003" "yes" \
  "$(grep -qE 'ReportEventA \([0-9A-F]+,0x0002,0x0000,0x000003eb,' "$BUILD_DIR/e2e-korvalis.log" && echo yes)"
check "the record names the refused entry" "yes" \
  "$(grep -qF 'ReportEventW L"C:\\Tools\\upd.exe /q"' "$BUILD_DIR/e2e-korvalis.log" && echo yes)"
finish
