#include "receive/listening_socket.h"

#include "common/never_throw.h"
#include "receive/receive_buffer.h"

namespace zephyx::receive {

ListeningSocket::ListeningSocket(int32_t port, PacketListener* listener)
    : socket_(IpEndpointName(IpEndpointName::ANY_ADDRESS, port), listener) {
  // Both are worth having, and neither is worth refusing to listen for.
  enlargeReceiveBuffer(socket_);
  ignoreUnreachablePorts(socket_);
  // Answers sent from this socket may go to a network's broadcast address.
  socket_.SetEnableBroadcast(true);
}

int ListeningSocket::receiveBufferSize() noexcept { return receive::receiveBufferSize(socket_); }

bool ListeningSocket::sendTo(uint32_t address, int32_t port, const char* data,
                             size_t size) noexcept {
  if (port < 1 || port > 65535) return false;
  return neverThrow(false, [&] {
    socket_.SendTo(IpEndpointName(address, port), data, size);
    return true;
  });
}

}  // namespace zephyx::receive
