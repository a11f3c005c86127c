// Where `send` and `sendFromListener` deliver: a host and port, resolved.
#pragma once

#include <cstdint>

namespace zephyx::send {

// Resolves `host` (a dotted address or a name) anew and checks `port`.
// False when the port is outside 1..65535, the host is empty or does not
// resolve, or it resolves to 0.0.0.0 or 255.255.255.255 (the codec reads
// both as "any address", which would reach this machine); otherwise stores
// the IPv4 address, in host byte order, in *address.
bool resolveDestination(const char* host, int32_t port, uint32_t* address);

}  // namespace zephyx::send
