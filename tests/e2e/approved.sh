# Task Manager's switches written as Task Manager writes them (REG_BINARY, through Wine's
# reg.exe) while one Korvalis runs: an entry turned back on is asked about as its addition and
# No writes its disabled bytes back; switching one off asks nothing; and a question about an
# entry switched off says so.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 ARTIFACTS=$3
DIALOG="Startup Programs Changed"
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
APPROVED='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
DISABLED=030000000A1B2C3D4E5FD901 ENABLED=020000000000000000000000

fresh_prefix e2e-approved-prefix
wine reg add "$RUN" /v Updater /d 'C:\Tools\upd.exe' /f >/dev/null 2>&1
wine reg add "$RUN" /v Helper /d 'C:\Tools\helper.exe' /f >/dev/null 2>&1
wine reg add "$APPROVED" /v Updater /t REG_BINARY /d $DISABLED /f >/dev/null 2>&1
start

wine reg add "$APPROVED" /v Updater /t REG_BINARY /d $ENABLED /f >/dev/null 2>&1
if answer_question "an entry turned back on in Task Manager" Updater 'C:\Tools\upd.exe' "Current User Run" added No; then
  wait_for "the disabled bytes back" [ "$(reg_value "$APPROVED" Updater)" == "$DISABLED" ]
  check "a refused switch puts the disabled bytes back" "$DISABLED" "$(reg_value "$APPROVED" Updater)"
fi

wine reg add "$APPROVED" /v Helper /t REG_BINARY /d $DISABLED /f >/dev/null 2>&1
check "an entry switched off is not asked about" "1" "$(drive wait "$DIALOG" 2500; echo $?)"
check "an entry switched off stays off" "$DISABLED" "$(reg_value "$APPROVED" Helper)"

wine reg add "$RUN" /v Helper /d 'C:\Tools\helper2.exe' /f >/dev/null 2>&1
if drive wait "$DIALOG"; then
  check "a question about an entry switched off says so" "Disabled in Task Manager" \
    "$(drive labels "$DIALOG" | grep -x 'Disabled in Task Manager')"
  drive screenshot "Z:$ARTIFACTS/approved-disabled.bmp" &&
    convert "$ARTIFACTS/approved-disabled.bmp" "$ARTIFACTS/approved-disabled.png" && rm -f "$ARTIFACTS/approved-disabled.bmp"
  drive press "$DIALOG" "&Yes"
  drive gone "$DIALOG"
else
  check "a changed entry switched off is asked about" "asked" "not asked"
fi

close_from_tray
finish
