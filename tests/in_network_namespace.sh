#!/usr/bin/env bash
# Runs a command in a network namespace of its own, whose loopback carries
# multicast: what the command sends, joins included, cannot leave this
# machine. Needs root, or user namespaces for --map-root-user.
#   tests/in_network_namespace.sh COMMAND [ARGUMENT...]
set -euo pipefail
if [ "${ZEPHYX_IN_NETWORK_NAMESPACE:-}" != 1 ]; then
  unshare_options=(--net)
  [ "$(id -u)" -eq 0 ] || unshare_options+=(--map-root-user)
  exec env ZEPHYX_IN_NETWORK_NAMESPACE=1 unshare "${unshare_options[@]}" bash "$0" "$@"
fi
ip link set lo up
ip link set lo multicast on
# With loopback as the source, senders show as 127.0.0.1 rather than 0.0.0.0.
ip route add 224.0.0.0/4 dev lo src 127.0.0.1
exec "$@"
