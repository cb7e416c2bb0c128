# A startup-folder entry put back without its bytes becomes a shortcut that an independent
# reader (lnkinfo) sees with the right target, arguments and show command.
source "$(dirname "$0")/lib.sh"
PROBE=$1
name="KorvalisLnkCheck$$"

folder=$(win "$PROBE" folder 7)
win "$PROBE" apply 10 1 "$name" '"C:\Tools\agent.exe" -quiet'
file=$(unix_path "$folder\\$name.lnk")
info=$(lnkinfo "$file" 2>&1)
field() { printf '%s\n' "$info" | sed -n "s/^\t$1[[:space:]]*: //p"; }

check "the target is the program without its quotes" 'C:\Tools\agent.exe' "$(field 'Local path')"
check "the arguments keep the blank behind the closing quote" ' -quiet' "$(field 'Command line arguments')"
# lnkinfo does not decode the show command; it is the 32-bit word at offset 0x3C of the header.
check "the show command is normal, not hidden" "1" "$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')"
check "no hot key is set" "0" "$(od -An -tu2 -j64 -N2 "$file" | tr -d ' ')"

win "$PROBE" apply 10 0 "$name" '"C:\Tools\agent.exe" -quiet'
check "a disabled entry deletes the shortcut" "gone" "$([ -e "$file" ] && echo present || echo gone)"
finish
