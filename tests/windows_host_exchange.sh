#!/usr/bin/env bash
# zephyx-host.exe under Wine against the native zephyx-host, on loopback:
# `info` loads the DLL, then one message each way (the Windows program
# sends to a native listener; the native program sends to a Windows one).
# Usage: windows_host_exchange.sh WINE WINDOWS_HOST_EXE DLL_NAME NATIVE_HOST
#   WINE is the loader that runs the Windows program (wine, or wine64's).
set -uo pipefail
wine=$1
windows_host=$2
dll_name=$3
native_host=$4
work=$(mktemp -d)
listener=""
cleanup() {
  if [ -n "$listener" ]; then kill "$listener" 2>/dev/null; wait "$listener" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/check.sh"

if [ ! -x "$native_host" ]; then
  echo "FAILED: no native $native_host (build the default preset first)"
  exit 1
fi

info=$("$wine" "$windows_host" info 2>&1 | tr -d '\r')
check "zephyx-host.exe info names the class" "xtra Zephyx -- version 1.4" \
  "$(grep -x 'xtra Zephyx -- version 1.4' <<<"$info")"
check "zephyx-host.exe info loads $dll_name" "$dll_name" \
  "$(sed -n 's/^library: .*\\//p' <<<"$info")"

# Starts a listener in the background on a port that is free, trying a few.
# Sets `listener` (its pid) and `port`; the listener's output goes to $1.
start_listener() {
  local output=$1
  shift
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    "$@" listen --port "$port" --count 1 --timeout 60 >"$output" 2>&1 &
    listener=$!
    # A taken port ends the listener at once; give it a moment to say so.
    sleep 0.3
    if kill -0 "$listener" 2>/dev/null || ! grep -q 'unable to bind' "$output"; then return 0; fi
    wait "$listener" 2>/dev/null
    listener=""
  done
  return 1
}

# Windows sends, Linux listens. The native listener is up within the pause
# above, long before Wine has started the sender.
literal='["/from/windows", [1, 2.5, "text", <bytes 01 02>]]'
if start_listener "$work/native.out" "$native_host"; then
  sent=$("$wine" "$windows_host" send --to "127.0.0.1:$port" "$literal" 2>&1 | tr -d '\r')
  check "zephyx-host.exe send answers 1" "1" "$sent"
  wait "$listener"
  status=$?
  listener=""
  check "native listener exits 0 after one call" "0" "$status"
  check "native listener got the message" '"/from/windows", [1, 2.5, "text", <bytes 01 02>]' \
    "$(head -n 1 "$work/native.out")"
else
  check "native listener starts" "started" "no free port"
fi

# Linux sends, Windows listens. Wine takes a while to start, so the native
# side sends until the listener has had its one call and ended.
literal='["/from/linux", [#float32: 0.25, #string: "words with spaces", #double: 1.5]]'
if start_listener "$work/windows.out" "$wine" "$windows_host"; then
  for _ in $(seq 1 200); do
    kill -0 "$listener" 2>/dev/null || break
    "$native_host" send --to "127.0.0.1:$port" "$literal" >/dev/null 2>&1
    sleep 0.2
  done
  wait "$listener"
  status=$?
  listener=""
  check "zephyx-host.exe listen exits 0 after one call" "0" "$status"
  check "zephyx-host.exe listen got the message" \
    '"/from/linux", [0.25, "words with spaces", 1.5]' \
    "$(head -n 1 "$work/windows.out" | tr -d '\r')"
else
  check "zephyx-host.exe listener starts" "started" "no free port"
fi

[ "$failures" -eq 0 ]
