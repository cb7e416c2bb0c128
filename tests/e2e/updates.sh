# A program updated by its own signed installer into a later version folder, while one Korvalis
# runs: told in the log, never asked; the same update with an unsigned library beside the new
# program, or a program of another folder, is asked. The signed sample stands for the publisher's
# program, under a root the prefix is made to trust.
source "$(dirname "$0")/lib.sh"
KORVALIS=$1 DRIVER=$2 PROBE=$3 ARTIFACTS=$4
DIALOG="Startup Programs Changed"
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
APP='C:\Program Files\Acme\Browser'
install() {  # install VERSION FILE [SOURCE]: the signed sample, or SOURCE, as VERSION\FILE
  local folder; folder="$(unix_path "$APP")/$1"
  mkdir -p "$folder"
  cp "${3:-$BUILD_DIR/tests/signatures/trusted.exe}" "$folder/$2"
}
browser() { echo "\"$APP\\$1\\browser.exe\" ${2:---background}"; }
screenshot() { drive screenshot "Z:$ARTIFACTS/$1.bmp" && convert "$ARTIFACTS/$1.bmp" "$ARTIFACTS/$1.png" 2>/dev/null; }
in_log() { log=$(find "$PREFIX/drive_c/users" -name korvalis.log 2>/dev/null | head -1); [ -n "$log" ] && grep -qF "$1" "$log"; }
# rule_covers WHAT NAME COMMAND: the rule for the Run value NAME is written, and the value changed
# to COMMAND is allowed by it, unasked.
rule_covers() {
  ruled() { [ "$(reg_value "$RULES" "Current User Run: $2")" == "Korvalis Test Publisher" ]; }
  wait_for "$1 written" ruled "$@"
  check "$1 is kept" "yes" "$(ruled "$@" && echo yes)"
  wine reg add "$RUN" /v "$2" /d "$3" /f >/dev/null
  wait_for "the change allowed by $1" in_log "Allowed by rule: $2 $3"
  check "a change $1 covers is not asked" "1" "$(drive wait "$DIALOG" 1500; echo $?)"
}
# "Startup Programs ..." from the tray menu, searched for the text, its one row selected once its
# program file has been looked at.
overview_select() {
  drive tray 204 205 &
  local tray_pid=$!
  sleep 1
  drive menu 83  # S: "Startup Programs ..."
  wait "$tray_pid"
  drive wait "Startup Programs" || failures=$((failures + 1))
  sleep 3
  drive type "Startup Programs" "$1"
  drive listkey "Startup Programs" 36 40  # Home, Down: the heading, then the row
  sleep 0.5
}

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

# Ticked in a question: later changes of the entry signed so are allowed unasked.
ALWAYS="Always allow changes of this entry signed by Korvalis Test Publisher"
RULES='HKCU\Software\Brenmoor\Korvalis\Allow Rules'
offered() { drive checks "$DIALOG" | grep -qF "$ALWAYS"; }
install 1.5.0 browser.exe
wine reg add "$RUN" /v Browser /d "$(browser 1.5.0 --incognito)" /f >/dev/null
drive wait "$DIALOG" || failures=$((failures + 1))
wait_for "the rule offered once the signature is read" offered
screenshot always-allow
drive check "$DIALOG" "$ALWAYS" 1
drive press "$DIALOG" "&Yes"
drive gone "$DIALOG"
rule_covers "the ticked rule" Browser "$(browser 1.5.0 --private)"

# A rule another program writes is a question of its own; No takes it away.
wine reg add "$RULES" /v 'Current User Run: Sync' /d 'Korvalis Test Publisher' /f >/dev/null
answer_question "a rule written by another program" "Current User Run: Sync" "Korvalis Test Publisher" \
  "Korvalis Allow Rules" added No
wait_for "the planted rule gone" no_value "$RULES" 'Current User Run: Sync'
check "the planted rule is gone" "" "$(reg_value "$RULES" 'Current User Run: Sync')"

# The rules are listed from the options.
drive tray 201 202 203 202
drive wait "Korvalis Options" || failures=$((failures + 1))
drive press "Korvalis Options" "Allow &Rules ..."
drive wait "Korvalis Allow Rules" || failures=$((failures + 1))
screenshot allow-rules
drive press "Korvalis Allow Rules" "&Close"
drive gone "Korvalis Allow Rules"
drive closebox "Korvalis Options"
drive gone "Korvalis Options"

# From the overview: a rule for the signed entry the user selects, after a question whose No is the default.
NOTES='C:\Program Files\Acme\Notes'
mkdir -p "$(unix_path "$NOTES")"
cp "$BUILD_DIR/tests/signatures/trusted.exe" "$(unix_path "$NOTES")/notes.exe"
wine reg add "$RUN" /v Notes /d "\"$NOTES\\notes.exe\"" /f >/dev/null
answer_question "a signed program of its own folder" Notes "\"$NOTES\\notes.exe\"" "Current User Run" added Yes
overview_select notes.exe
drive press "Startup Programs" "Always &allow ..."
drive wait "Korvalis" 5000 || failures=$((failures + 1))
screenshot overview-always-allow
drive press "Korvalis" "&Yes"
rule_covers "the overview's rule" Notes "\"$NOTES\\notes.exe\" --sync"
drive closebox "Startup Programs"

# An update told, Korvalis closed and started again: the overview still puts back what the update
# replaced, once its question has said what that is.
MAIL='C:\Program Files\Acme\Mail'
mail() { echo "\"$MAIL\\$1\\mail.exe\" -tray"; }
for version in 2.0 2.1; do
  mkdir -p "$(unix_path "$MAIL")/$version"
  cp "$BUILD_DIR/tests/signatures/trusted.exe" "$(unix_path "$MAIL")/$version/mail.exe"
done
wine reg add "$RUN" /v Mail /d "$(mail 2.0)" /f >/dev/null
answer_question "a signed mail program" Mail "$(mail 2.0)" "Current User Run" added Yes
wine reg add "$RUN" /v Mail /d "$(mail 2.1)" /f >/dev/null
wait_for "the mail update told" in_log "Update told: Mail $(mail 2.1)"
close_from_tray
start
overview_select mail.exe
drive press "Startup Programs" "&Undo update"
drive wait "Korvalis" 5000 || failures=$((failures + 1))
check "the undo says what it puts back" "yes" \
  "$(drive labels "Korvalis" | tr -d '\r' | grep -qF "Mail: $(mail 2.0)" && echo yes)"
screenshot undo-update
drive press "Korvalis" "&Yes"
mail_back() { [ "$(reg_value "$RUN" Mail)" == "$(mail 2.0)" ]; }
wait_for "the earlier mail program put back" mail_back
check "the update is undone after a restart" "$(mail 2.0)" "$(reg_value "$RUN" Mail)"
drive closebox "Startup Programs"

close_from_tray
finish
