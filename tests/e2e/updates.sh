# A program updated by its own signed installer into a later version folder, while one Korvalis
# runs: told in the log, never asked; the same update with an unsigned library beside the new
# program, or a program of another folder, is asked. The signed sample stands for the publisher's
# program, under a root the prefix is made to trust.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 PROBE=$3
DIALOG="Startup Programs Changed"
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
APP='C:\Program Files\Acme\Browser'
install() {  # install VERSION FILE [SOURCE]: the signed sample, or SOURCE, as VERSION\FILE
  local folder; folder="$(unix_path "$APP")/$1"
  mkdir -p "$folder"
  cp "${3:-$BUILD_DIR/tests/signatures/trusted.exe}" "$folder/$2"
}
browser() { echo "\"$APP\\$1\\browser.exe\" --background"; }

fresh_prefix e2e-updates-prefix
win "$PROBE" trust-samples || failures=$((failures + 1))
install 1.2.0 browser.exe
install 1.3.0 browser.exe
install 1.3.0 engine.dll
wine reg add "$RUN" /v Browser /d "$(browser 1.2.0)" /f >/dev/null
start

wine reg add "$RUN" /v Browser /d "$(browser 1.3.0)" /f >/dev/null
log=""
told() {
  log=$(find "$PREFIX/drive_c/users" -name korvalis.log 2>/dev/null | head -1)
  [ -n "$log" ] && grep -qF "Update told: Browser $(browser 1.3.0)" "$log"
}
wait_for "the update told in the log" told
check "the update is told in the log" "yes" "$(told && echo yes)"
check "the update is not asked" "1" "$(drive wait "$DIALOG" 1500; echo $?)"

# An unsigned library beside the new program: asked.
install 1.4.0 browser.exe
install 1.4.0 helper.dll "$BUILD_DIR/tests/korvalis_probe.exe"
wine reg add "$RUN" /v Browser /d "$(browser 1.4.0)" /f >/dev/null
answer_question "an update beside an unsigned library" Browser "$(browser 1.4.0)" "Current User Run" changed Yes

close_from_tray
finish
