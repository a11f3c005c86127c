#include "receive/listening_socket.h"

#include "common/never_throw.h"
#include "receive/receive_buffer.h"

namespace zephyx::receive {

// The codec makes its socket first, before its wake-up pipe, so the lowest
// free descriptor noted just before is the socket's.
ListeningSocket::ListeningSocket(int32_t port, PacketListener* listener)
    : ListeningSocket(nextSocketDescriptor(), port, listener) {}

ListeningSocket::ListeningSocket(int descriptor, int32_t port, PacketListener* listener)
    : socket_(IpEndpointName(IpEndpointName::ANY_ADDRESS, port), listener) {
  enlargeReceiveBuffer(descriptor, port);
  // Answers sent from this socket may go to a network's broadcast address.
  socket_.SetEnableBroadcast(true);
}

bool ListeningSocket::sendTo(uint32_t address, int32_t port, const char* data,
                             size_t size) noexcept {
  if (port < 1 || port > 65535) return false;
  return neverThrow(false, [&] {
    socket_.SendTo(IpEndpointName(address, port), data, size);
    return true;
  });
}

}  // namespace zephyx::receive
