#!/usr/bin/env bash
# zephyx-host.exe under Wine and liblo's tools, through a multicast group:
# it joins 239.255.0.1 and hears oscsend's message to the group, and oscdump
# on the group hears what it sends there. It runs in a network namespace of
# its own, where nothing can leave this machine. Wine makes its sockets in
# its server, so the namespace gets a server of its own, on a copy of the
# Wine prefix: the one outside would make them outside.
# Usage: windows_multicast_exchange.sh WINE WINDOWS_HOST_EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${ZEPHYX_IN_NETWORK_NAMESPACE:-}" != 1 ]; then
  exec bash "$here/in_network_namespace.sh" bash "$0" "$@"
fi
wine=$1
windows_host=$2
group=239.255.0.1
server=${WINESERVER:-wineserver}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  "$server" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

. "$here/check.sh"

if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "FAILED: no Wine prefix in WINEPREFIX (scripts/test-windows makes one)"
  exit 1
fi
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix
"$server" -p
"$wine" wineboot </dev/null >/dev/null 2>&1

# The namespace is this script's alone: its ports are free.
"$wine" "$windows_host" listen --port 9000 --join "$group" --count 1 --timeout 60 \
  >"$work/windows.out" 2>&1 &
listener=$!
pids+=("$listener")
for _ in $(seq 1 200); do
  kill -0 "$listener" 2>/dev/null || break
  oscsend "osc.udp://$group:9000" /to/windows i 1 >/dev/null 2>&1
  sleep 0.2
done
wait "$listener"
check "zephyx-host.exe listen --join exits 0 after one call" "0" "$?"
check "zephyx-host.exe heard the group" '"/to/windows", [1]' \
  "$(head -n 1 "$work/windows.out" | tr -d '\r')"

oscdump -L "osc.udp://$group:9001" >"$work/dump.out" 2>&1 &
pids+=("$!")
sent=""
for _ in $(seq 1 20); do
  sent=$("$wine" "$windows_host" send --to "$group:9001" '["/from/windows", [2]]' 2>&1 |
    tr -d '\r')
  grep -q '/from/windows i 2' "$work/dump.out" && break
  sleep 0.2
done
check "zephyx-host.exe send to the group answers 1" "1" "$sent"
check "oscdump on the group heard zephyx-host.exe" "/from/windows i 2" \
  "$(grep -o '/from/windows i 2' "$work/dump.out" | head -n 1)"

[ "$failures" -eq 0 ]
