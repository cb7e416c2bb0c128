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
