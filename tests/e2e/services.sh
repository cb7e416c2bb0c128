# Services that start by themselves, made the way setup programs make them (sc create, a
# ChangeServiceConfig call) while one Korvalis runs with every place guarded: each is asked
# about under its name; refused, a new one ends disabled, still registered, and one switched
# from demand to automatic starts on demand again.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 SERVICE_TOOL=$3
DIALOG="Startup Programs Changed"
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
PLACE="Services and Drivers"
NOTEPAD='C:\windows\system32\notepad.exe'

fresh_prefix e2e-services-prefix
# A service that starts on demand is there before Korvalis first looks; demand, so that Wine
# does not try to start it with the prefix.
win sc create KorvalisDemand binPath= "$NOTEPAD" start= demand >/dev/null
check "the demand service is registered" "0x3" "$(reg_value "$SERVICES\\KorvalisDemand" Start)"
start

win sc create KorvalisAuto binPath= "$NOTEPAD" start= auto >/dev/null
if answer_question "a service created to start automatically" KorvalisAuto "$NOTEPAD" "$PLACE" added No; then
  wait_for "the refused service disabled" [ "$(reg_value "$SERVICES\\KorvalisAuto" Start)" == 0x4 ]
  check "the refused service is disabled" "0x4" "$(reg_value "$SERVICES\\KorvalisAuto" Start)"
  check "the refused service stays registered" "$NOTEPAD" "$(reg_value "$SERVICES\\KorvalisAuto" ImagePath)"
fi

win "$SERVICE_TOOL" KorvalisDemand 2
if answer_question "a demand service switched to start automatically" KorvalisDemand "$NOTEPAD" "$PLACE" changed No; then
  wait_for "the switched service back on demand" [ "$(reg_value "$SERVICES\\KorvalisDemand" Start)" == 0x3 ]
  check "the switched service starts on demand again" "0x3" "$(reg_value "$SERVICES\\KorvalisDemand" Start)"
fi

close_from_tray
finish
