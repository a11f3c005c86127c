// The UDP socket that one `send` uses: the only place that sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class UdpTransmitSocket;

namespace zephyx::send {

// Made for one send and closed when destroyed. Host thread.
class TransmitSocket {
 public:
  TransmitSocket();
  ~TransmitSocket();
  TransmitSocket(const TransmitSocket&) = delete;
  TransmitSocket& operator=(const TransmitSocket&) = delete;

  // Resolves `host` anew and connects a fresh socket to it and `port`.
  // False when the host does not resolve, resolves to 0.0.0.0 or to the
  // broadcast address 255.255.255.255 (either would reach this machine), the port is outside 1..65535, or the socket
  // cannot be made or connected.
  bool open(const char* host, int32_t port);

  // One datagram; whether it left is not examined.
  void send(const char* data, size_t size);

 private:
  std::unique_ptr<UdpTransmitSocket> socket_;
};

}  // namespace zephyx::send
