// The listening socket's kernel receive buffer, and what else the system
// must be told about a socket that listens.
//
// The system's default buffer (208 KiB on Linux, 64 KiB on Windows) holds
// only a few milliseconds of a fast stream: when the receiving thread is
// scheduled out for longer, the kernel drops datagrams.
#pragma once

#include "ip/UdpSocket.h"

namespace zephyx::receive {

// The buffer asked for. Linux doubles it for its own bookkeeping and caps
// it at the system's maximum (net.core.rmem_max); Windows takes it as it is.
constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

// Raises the socket's receive buffer to WantedReceiveBuffer, never lowering
// it: where the system's maximum is below its default, asking would shrink
// it, and then the default is put back. False when the system refused.
bool enlargeReceiveBuffer(UdpSocket& socket);

// The size the system reports for the socket's receive buffer, 0 when it
// does not say.
int receiveBufferSize(UdpSocket& socket);

// Windows reports an ICMP "port unreachable" that answers a datagram sent
// from the socket (a reply to a peer that has closed its port) as an error
// of the next receive. The receiving loop skips failed reads, so this only
// turns that report off; elsewhere there is nothing to do. False when the
// system refused.
bool ignoreUnreachablePorts(UdpSocket& socket);

}  // namespace zephyx::receive
