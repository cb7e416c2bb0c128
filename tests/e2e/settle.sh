# A change that undoes itself asks nothing, driven with Wine's own reg.exe in a fresh prefix: a
# value deleted and written again with the same data is no question and no log line, and a
# removal that stays is asked once its key has been quiet, and No writes it back.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
DIALOG="Startup Programs Changed"
log_text() { find "$PREFIX/drive_c/users" -path '*Korvalis/korvalis.log' -exec cat {} + 2>/dev/null | tr -d '\r'; }

fresh_prefix e2e-settle-prefix
wine reg add "$RUN" /v Steady /d 'C:\Tools\steady.exe' /f >/dev/null
start
check "a first start without a baseline asks nothing" "1" "$(drive wait "$DIALOG" 2000; echo $?)"

# The two runs of reg.exe take well under the two seconds a removal waits; where this Wine is
# slower than that, the check would prove nothing and is left out.
begin=$(date +%s%N)
wine reg delete "$RUN" /v Steady /f >/dev/null
wine reg add "$RUN" /v Steady /d 'C:\Tools\steady.exe' /f >/dev/null
took=$(( ($(date +%s%N) - begin) / 1000000 ))
if [ "$took" -lt 1500 ]; then
  check "a value deleted and written again is not asked about" "1" "$(drive wait "$DIALOG" 5000; echo $?)"
  check "nor logged" "" "$(log_text | grep -F Steady)"
else
  echo "skipped: deleting and writing the value again took $took ms"
fi

# A removal that stays is asked (the driver waits up to ten seconds for the question).
wine reg delete "$RUN" /v Steady /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
check "the removal that stays is asked" "has been removed" "$(drive labels "$DIALOG" | grep -Fx 'has been removed')"
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the removed value to come back" has_value "$RUN" Steady
check "No writes the removed value back" 'C:\Tools\steady.exe' "$(reg_value "$RUN" Steady)"
check "the asked removal is logged" "Remove: Steady C:\\Tools\\steady.exe" "$(log_text | grep -o 'Remove: Steady.*')"

close_from_tray
finish
