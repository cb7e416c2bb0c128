# A value whose name holds a NUL, planted in Run while Korvalis runs: the dialog names it in its
# visible form, No deletes exactly that value, and the value named like its first part stays.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 NULNAME=$3
RUN_PATH='Software\Microsoft\Windows\CurrentVersion\Run'
RUN="HKCU\\$RUN_PATH"
DIALOG="Startup Programs Changed"

fresh_prefix e2e-nulname-prefix

hidden_exists() { "$WINE_RUN" "$PREFIX" "$NULNAME" exists "$RUN_PATH" Hidden Payload </dev/null >/dev/null 2>&1; }
hidden_gone() { ! hidden_exists; }

# The sibling is there before Korvalis starts, so only the hidden value is news to it.
wine reg add "$RUN" /v Hidden /d 'C:\Tools\visible.exe' /f >/dev/null
"$WINE_RUN" "$PREFIX" "$KORVALIS" </dev/null >/dev/null 2>&1 &
wait_for "the settings key" wine reg query 'HKCU\Software\Brenmoor' >/dev/null 2>&1
sleep 1.5   # the first snapshot and the first tick

"$WINE_RUN" "$PREFIX" "$NULNAME" create "$RUN_PATH" Hidden Payload 'C:\Tools\hidden.exe' </dev/null
check "the helper made the hidden value" "yes" "$(hidden_exists && echo yes)"
drive wait "$DIALOG" || failures=$((failures + 1))
labels=$(drive labels "$DIALOG")
for text in 'Hidden\0Payload' 'C:\Tools\hidden.exe' "has been added"; do
  check "the dialog shows \"$text\"" "$text" "$(grep -Fx -- "$text" <<<"$labels")"
done
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the hidden value to go" hidden_gone
check "No deletes the value with the NUL in its name" "gone" "$(hidden_exists && echo there || echo gone)"
check "the value named like its first part is untouched" 'C:\Tools\visible.exe' "$(reg_value "$RUN" Hidden)"

log="$(unix_path 'C:\users')/${USER:-$(id -un)}/AppData/Local/Korvalis/korvalis.log"
check "the decision is logged by the visible name" "1" \
  "$(grep -cF 'Add: Hidden\0Payload C:\Tools\hidden.exe' "$log" 2>/dev/null)"
check "the log holds no NUL byte" "0" "$(tr -cd '\000' <"$log" 2>/dev/null | wc -c)"
finish
