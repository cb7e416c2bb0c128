# Changes made while Korvalis was closed, driven as a user would in a fresh Wine prefix: another
# program switches off its guard of the further places, which is asked about before it takes
# effect and undone by No; a RunOnce value that Windows ran (and so deleted) is taken without
# a question; the further places are still guarded afterwards.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2
DIALOG="Startup Programs Changed"
SETTINGS='HKCU\Software\Brenmoor\Korvalis'
RUNONCE='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
POLICIES='HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer\Run'

fresh_prefix e2e-settings-prefix

# Set by the user before the first start, so it is what Korvalis accepted.
wine reg add "$SETTINGS" /v GuardAllPlaces /d 1 /f >/dev/null
wine reg add "$RUNONCE" /v Finish /d 'C:\Tools\finish.exe /last' /f >/dev/null
start
check "a first start asks nothing" "1" "$(drive wait "$DIALOG" 2000; echo $?)"
close_from_tray
check "Close Korvalis ends it" "ended" "$(kill -0 "$korvalis_pid" 2>/dev/null && echo running || echo ended)"
check "the switches it wrote at the close" "1" "$(reg_value "$SETTINGS" Monitoring)"

# While closed: another program turns the guard of the further places off, and the logon runs
# (and deletes) the RunOnce value.
wine reg add "$SETTINGS" /v GuardAllPlaces /d 0 /f >/dev/null
wine reg delete "$RUNONCE" /v Finish /f >/dev/null
start
drive wait "$DIALOG" || failures=$((failures + 1))
labels=$(drive labels "$DIALOG")
check "the tampered switch is asked" "GuardAllPlaces" "$(grep -Fx GuardAllPlaces <<<"$labels")"
check "in Korvalis Settings" "in Korvalis Settings" "$(grep -Fx 'in Korvalis Settings' <<<"$labels")"
check "as made while not running" "While Korvalis was not running. Would you allow the following" \
  "$(grep -F 'not running' <<<"$labels")"
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
is_one() { [ "$(reg_value "$SETTINGS" GuardAllPlaces)" == 1 ]; }
wait_for "the switch to be put back" is_one
check "No puts the switch back" "1" "$(reg_value "$SETTINGS" GuardAllPlaces)"
check "the RunOnce value Windows ran is not asked about" "1" "$(drive wait "$DIALOG" 2000; echo $?)"
check "nor written back" "" "$(reg_value "$RUNONCE" Finish)"
log=$(find "$PREFIX/drive_c/users" -name korvalis.log 2>/dev/null | head -1)
check "its removal is logged" "yes" "$(grep -q 'Ran once: Finish C:\\Tools\\finish.exe /last' "$log" && echo yes)"

# The further places are still guarded.
wine reg add "$POLICIES" /v Sneaky /d 'C:\Tools\sneaky.exe' /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
check "a further place's value is still asked" "in Current User Policies Run" \
  "$(drive labels "$DIALOG" | grep -Fx 'in Current User Policies Run')"
drive press "$DIALOG" "&No"
drive gone "$DIALOG"
wait_for "the further place's value to go" no_value "$POLICIES" Sneaky
check "and No undoes it" "" "$(reg_value "$POLICIES" Sneaky)"

close_from_tray
finish
