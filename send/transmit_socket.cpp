#include "send/transmit_socket.h"

#include <exception>

#include "ip/IpEndpointName.h"
#include "ip/NetworkingUtils.h"
#include "ip/UdpSocket.h"

namespace zephyx::send {

TransmitSocket::TransmitSocket() = default;
TransmitSocket::~TransmitSocket() = default;

bool TransmitSocket::open(const char* host, int32_t port) {
  if (port < 1 || port > 65535) return false;
  // Windows resolves the empty name to this machine's own address.
  if (host == nullptr || host[0] == '\0') return false;
  const unsigned long address = GetHostByName(host);
  // 0.0.0.0 would reach this machine, and so would the broadcast address:
  // the codec takes it for "any address" and connects to 0.0.0.0. The
  // socket never enables broadcasting, so neither is a destination.
  if (address == 0 || address == IpEndpointName::ANY_ADDRESS) return false;
  try {
    socket_ = std::make_unique<UdpTransmitSocket>(IpEndpointName(address, port));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void TransmitSocket::send(const char* data, size_t size) {
  if (socket_) socket_->Send(data, size);
}

}  // namespace zephyx::send
