// The UDP socket that one `send` uses: the only place that sends from a
// socket of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "send/datagram_sink.h"

class UdpSocket;

namespace zephyx::send {

// Made for one send to `host`:`port` and closed when destroyed. Host thread.
class TransmitSocket final : public DatagramSink {
 public:
  TransmitSocket(const char* host, int32_t port);
  ~TransmitSocket();
  TransmitSocket(const TransmitSocket&) = delete;
  TransmitSocket& operator=(const TransmitSocket&) = delete;

  // Resolves the host anew (see resolveDestination) and connects a fresh
  // socket, allowed to broadcast, to it and the port. False when the
  // destination is refused or the socket cannot be made or connected.
  bool open() override;

  void send(const char* data, size_t size) override;

 private:
  const char* host_;
  int32_t port_;
  std::unique_ptr<UdpSocket> socket_;
};

}  // namespace zephyx::send
