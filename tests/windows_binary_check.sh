#!/usr/bin/env bash
# Checks the Windows build without running it: the DLL is of the expected
# format, exports exactly the five plain names and imports only Windows'
# own DLLs; and nothing that runs on Windows registers a thread_local
# destructor, which MinGW's emulated thread storage runs on freed memory
# when a thread exits.
# Usage: windows_binary_check.sh FORMAT OBJDUMP NM DLL [BINARY...]
#   FORMAT is objdump's name for it: pei-i386 or pei-x86-64. Each BINARY
#   (programs, static libraries) is searched for __cxa_thread_atexit.
set -uo pipefail
format=$1
objdump=$2
nm=$3
dll=$4
shift 4

. "$(dirname "$0")/check.sh"

headers=$("$objdump" -p "$dll")
check "$(basename "$dll") is $format" "$format" \
  "$("$objdump" -f "$dll" | sed -n 's/.*file format \(.*\)$/\1/p')"

# The export name table: "[   0] DllCanUnloadNow", after its heading.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table|\[Name Pointer\/Ordinal\] Table/ { table = 1; next }
               table && /^\t\[ *[0-9]+\] [A-Za-z_]/ { print $NF }
               table && /^$/ { table = 0 }' <<<"$headers" | sort | tr '\n' ' ')
check "exports exactly the five plain names" \
  "DllCanUnloadNow DllGetClassForm DllGetClassInfo DllGetClassObject DllGetInterface " "$exports"

# Windows' own DLLs, and nothing of the compiler's runtime.
foreign=""
while read -r name; do
  case "${name,,}" in
    kernel32.dll | msvcrt.dll | ws2_32.dll | winmm.dll | user32.dll | advapi32.dll | ntdll.dll) ;;
    api-ms-win-*) ;;
    *) foreign+="$name " ;;
  esac
done < <(sed -n 's/^\tDLL Name: //p' <<<"$headers")
check "imports only Windows' own DLLs" "" "$foreign"
check "imports the socket layer" "1" "$(grep -ci 'DLL Name: ws2_32.dll' <<<"$headers")"

for binary in "$dll" "$@"; do
  check "$(basename "$binary") registers no thread_local destructor" "0" \
    "$("$nm" -A "$binary" 2>/dev/null | grep -c '__cxa_thread_atexit')"
done

[ "$failures" -eq 0 ]
