#include "send/transmit_socket.h"

#include <exception>

#include "ip/IpEndpointName.h"
#include "ip/NetworkingUtils.h"
#include "ip/UdpSocket.h"

TransmitSocket::TransmitSocket() = default;
TransmitSocket::~TransmitSocket() = default;

bool TransmitSocket::open(const char* host, int32_t port) {
  if (port < 1 || port > 65535) return false;
  // Windows resolves the empty name to this machine's own address.
  if (host == nullptr || host[0] == '\0') return false;
  const unsigned long address = GetHostByName(host);
  if (address == 0) return false;
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
