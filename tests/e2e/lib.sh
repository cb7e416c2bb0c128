# Shared helpers of the end-to-end scripts. Arguments of every script: WINE_RUN PREFIX BUILD_DIR [...]
set -uo pipefail
WINE_RUN=$1
PREFIX=$(realpath -m "$2")
BUILD_DIR=$3
shift 3
export WINEPREFIX=$PREFIX WINEDEBUG=-all

failures=0
win() { "$WINE_RUN" "$PREFIX" "$@" | tr -d '\r'; }
unix_path() { winepath -u "$1" 2>/dev/null; }
cmd_echo() { wine cmd /c echo "$1" </dev/null 2>/dev/null | tr -d '\r'; }  # cmd_echo '%VAR%'
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    echo "  expected: [$2]"
    echo "  actual:   [$3]"
    failures=$((failures + 1))
  fi
}
finish() { [ "$failures" -eq 0 ]; exit $?; }
# For a script with a prefix of its own: its wineserver, persistent or not, and every program
# still running in it end with the script, however the script ends.
stop_wine_on_exit() {
  trap 'wineserver -k >/dev/null 2>&1' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}
# A prefix of the script's own, so the first start is a first start, with Wine's own desktop
# running in it: inside it windows have their captions and the tray its taskbar. The desktop is
# started first so that no later process inherits it with the script's output.
fresh_prefix() {  # fresh_prefix NAME: sets PREFIX and WINEPREFIX
  PREFIX=$(realpath -m "$BUILD_DIR/$1")
  export WINEPREFIX=$PREFIX
  rm -rf "$PREFIX" "$PREFIX.ready"
  stop_wine_on_exit
  "$WINE_RUN" "$PREFIX" cmd /c exit </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wine explorer /desktop=Default,1024x768 </dev/null >/dev/null 2>&1 &
  sleep 2
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
has_value() { [ -n "$(reg_value "$1" "$2")" ]; }
no_value() { [ -z "$(reg_value "$1" "$2")" ]; }
wait_for() {  # wait_for DESCRIPTION COMMAND...: polls for up to 10 s
  local what=$1; shift
  for _ in $(seq 1 50); do "$@" && return 0; sleep 0.2; done
  echo "timed out waiting for: $what"; return 1
}
drive() { win "$DRIVER" "$@"; }  # DRIVER: the script's korvalis_driver
# The question of the dialog $DIALOG: its name, command, place and action, after its fixed
# heading and without the icon. answer_question's SCREENSHOT goes to $ARTIFACTS.
question() { drive labels "$DIALOG" | sed -n '/^Would you allow the following$/,$p' | sed '1d;/^$/d' | head -4 | paste -sd'|'; }
# answer_question WHAT NAME COMMAND PLACE ACTION ANSWER [SCREENSHOT]
answer_question() {
  if ! drive wait "$DIALOG"; then
    check "$1 is asked about" "asked" "not asked"
    return 1
  fi
  check "$1 is asked about as $2 in $4" "$2|$3|in $4|has been $5" "$(question)"
  if [ -n "${7:-}" ]; then
    drive screenshot "Z:$ARTIFACTS/$7.bmp" && convert "$ARTIFACTS/$7.bmp" "$ARTIFACTS/$7.png" && rm -f "$ARTIFACTS/$7.bmp"
  fi
  drive press "$DIALOG" "&$6"
  drive gone "$DIALOG"
}
# Starting and closing korvalis.exe ($KORVALIS) as a user would; start sets korvalis_pid.
baseline_exists() { [ -n "$(find "$PREFIX/drive_c/users" -path '*Korvalis/baseline.dat' 2>/dev/null)" ]; }
start() {
  "$WINE_RUN" "$PREFIX" "$KORVALIS" </dev/null >/dev/null 2>&1 &
  korvalis_pid=$!
  wait_for "the stored baseline" baseline_exists
  sleep 0.5
}
close_from_tray() {  # the tray menu: Up four times passes the three items added after it, then Enter
  drive tray 204 205 &
  sleep 1
  drive menu 38 38 38 38 13
  wait
  for _ in $(seq 1 50); do kill -0 "$korvalis_pid" 2>/dev/null || break; sleep 0.2; done
}
