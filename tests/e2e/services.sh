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

# 500 services written straight into the registry in one import, as a setup program that skips
# the service manager could: one grouped question, and Undo all leaves every one disabled.
import=$(unix_path 'C:\services.reg')
{
  printf 'REGEDIT4\r\n'
  for i in $(seq -w 1 500); do
    printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\KorvalisFlood%s]\r\n' "$i"
    printf '"Type"=dword:00000010\r\n"Start"=dword:00000002\r\n"ImagePath"="C:\\\\Flood\\\\flood%s.exe"\r\n' "$i"
  done
} >"$import"
wine regedit /s 'C:\services.reg' >/dev/null 2>&1
check "the import is there" "0x2" "$(reg_value "$SERVICES\\KorvalisFlood500" Start)"
# On a loaded machine the import may still be under way when the first reading is taken: what
# came in by then is one grouped question, the rest another.
disabled() {
  wine reg query "$SERVICES" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { flood = ($0 ~ /KorvalisFlood[0-9]+$/) } flood && /Start +REG_DWORD +0x4/ { n++ } END { print n + 0 }'
}
all_disabled() { [ "$(disabled)" -eq 500 ]; }
questions=0
while [ "$questions" -lt 5 ] && GROUPED=$(drive caption "$DIALOG (" 30000); do
  questions=$((questions + 1))
  drive press "$GROUPED" "&Undo all"
  drive gone "$GROUPED"
  [ "$GROUPED" == "$DIALOG (500)" ] && break
  sleep 1; all_disabled && break
done
echo "the import of 500 services was asked in $questions grouped question(s)"
check "the 500 services are asked in grouped questions" "yes" "$([ "$questions" -ge 1 ] && echo yes)"
wait_for "the 500 services disabled" all_disabled
check "Undo all leaves the 500 services disabled" "yes" "$(all_disabled && echo yes || echo "no: $(disabled)")"

close_from_tray
finish
