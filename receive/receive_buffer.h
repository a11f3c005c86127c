// The listening socket's kernel receive buffer.
//
// The codec's socket keeps the system's default buffer (208 KiB on Linux),
// which holds only a few milliseconds of a fast stream: when the receiving
// thread is scheduled out for longer, the kernel drops datagrams. The codec
// gives no handle to its socket, but a new descriptor is always the lowest
// free one, so the listening socket notes that number just before the codec
// makes its socket, and checks afterwards that the descriptor is the socket
// bound to the port. No other descriptor of the host process is touched.
#pragma once

#include <cstdint>

namespace zephyx::receive {

// The buffer asked for. The kernel doubles it for its own bookkeeping and
// caps it at the system's maximum (net.core.rmem_max).
constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

// The descriptor that the next socket made in this process will get, or -1
// where descriptors are not small numbers (Windows).
int nextSocketDescriptor();

// Raises the receive buffer of `descriptor` to WantedReceiveBuffer, never
// lowering it, if it is a UDP socket bound on every local address to `port`
// (to any port for 0 and -1). False, touching nothing, when it is not: for
// example when another thread made a descriptor in between.
bool enlargeReceiveBuffer(int descriptor, int32_t port);

}  // namespace zephyx::receive
