#!/usr/bin/env bash
# zephyx-host.exe under Wine streams to independent peers over TCP on
# loopback: a liblo server with length framing and osc.js with SLIP, each
# answering a /ping over the same connection.
# Usage: windows_stream_exchange.sh WINE WINDOWS_HOST_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine=$1
windows_host=$2
work=$(mktemp -d)
peers=()
cleanup() {
  for pid in "${peers[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

. "$here/check.sh"

# The peers end when their input closes: it stays open, through a pipe that
# this script holds, until the script ends.
mkfifo "$work/input"
exec 3<>"$work/input"

# Starts a peer and sets `port` to the port it prints first.
start_peer() {  # OUTPUT COMMAND...
  local output=$1
  shift
  "$@" <&3 >"$output" 2>&1 &
  peers+=("$!")
  port=""
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^port //p' "$output" | head -n 1)
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  return 1
}

exchange() {  # NAME FRAMING PEER...
  local name=$1 framing=$2
  shift 2
  if ! start_peer "$work/$name.peer" "$@"; then
    check "$name peer starts" "started" "$(cat "$work/$name.peer")"
    return
  fi
  local output
  output=$("$wine" "$windows_host" stream --to "127.0.0.1:$port" --framing "$framing" \
    --count 1 --timeout 20 '["/ping", [1, "one"]]' 2>&1 | tr -d '\r')
  check "zephyx-host.exe stream to $name" $'#streamopen, 0\n1\n"/pong", [1, "one"]' "$output"
}

exchange liblo length /usr/bin/python3 "$here/stream_peer_liblo.py" length 120
exchange osc.js slip node "$here/peers/oscjs_stream_peer.js" slip 120

[ "$failures" -eq 0 ]
