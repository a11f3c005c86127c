#include "send/transmit_socket.h"

#include <exception>

#include "common/ipv4_address.h"
#include "ip/IpEndpointName.h"
#include "ip/UdpSocket.h"
#include "send/destination.h"

namespace zephyx::send {

TransmitSocket::TransmitSocket(const char* host, int32_t port, const MulticastSending& multicast)
    : host_(host), port_(port), multicast_(multicast) {}
TransmitSocket::~TransmitSocket() = default;

bool TransmitSocket::open() {
  uint32_t address = 0;
  if (!resolveDestination(host_, port_, &address)) return false;
  try {
    // The codec's transmit socket connects as it is made; broadcasting must
    // be allowed before, or the system refuses a broadcast destination.
    auto socket = std::make_unique<UdpSocket>();
    socket->SetEnableBroadcast(true);
    if (isMulticastAddress(address) && !applyMulticastSending(*socket, multicast_)) return false;
    socket->Connect(IpEndpointName(address, port_));
    socket_ = std::move(socket);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// Whether the datagram left is not examined, as ever for `send`.
bool TransmitSocket::send(const char* data, size_t size) {
  if (socket_) socket_->Send(data, size);
  return true;
}

}  // namespace zephyx::send
