// The listening socket's kernel receive buffer.
//
// The codec's socket keeps the system's default buffer (208 KiB on Linux),
// which holds only a few milliseconds of a fast stream: when the receiving
// thread is scheduled out for longer, the kernel drops datagrams. The codec
// gives no handle to its socket, so the socket is found among the process's
// descriptors: the one UDP socket bound to the port on every address that
// was opened while the codec made it.
#pragma once

#include <cstdint>
#include <vector>

namespace zephyx::receive {

// The buffer asked for. The kernel doubles it for its own bookkeeping and
// caps it at the system's maximum (net.core.rmem_max).
constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

// The process's open sockets at one moment, by identity rather than by
// descriptor number, since numbers are reused.
class OpenSockets {
 public:
  static OpenSockets now();

 private:
  friend bool enlargeReceiveBuffer(const OpenSockets& before, int32_t port);
  std::vector<uint64_t> identities_;
};

// Raises the receive buffer of the UDP socket bound to `port` (any port for
// 0 and -1) on every local address that is open now but was not in
// `before`, to WantedReceiveBuffer; never lowers it. Does nothing, and
// answers false, when no such socket or more than one is found, or where
// descriptors cannot be listed (Windows keeps its default).
bool enlargeReceiveBuffer(const OpenSockets& before, int32_t port);

}  // namespace zephyx::receive
