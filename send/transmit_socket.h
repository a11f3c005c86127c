// The UDP socket that one `send` uses: the only place that sends from a
// socket of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/multicast_options.h"
#include "send/datagram_sink.h"

class UdpSocket;

namespace zephyx::send {

// Made for one send to `host`:`port` and closed when destroyed. Host thread.
class TransmitSocket final : public DatagramSink {
 public:
  // `multicast` applies when the host is a group.
  TransmitSocket(const char* host, int32_t port, const MulticastSending& multicast);
  ~TransmitSocket();
  TransmitSocket(const TransmitSocket&) = delete;
  TransmitSocket& operator=(const TransmitSocket&) = delete;

  // Resolves the host anew (see resolveDestination) and connects a fresh
  // socket, allowed to broadcast, to it and the port. False when the
  // destination is refused, the socket cannot be made or connected, or the
  // system refuses the multicast settings for a group.
  bool open() override;

  bool send(const char* data, size_t size) override;

 private:
  const char* host_;
  int32_t port_;
  MulticastSending multicast_;
  std::unique_ptr<UdpSocket> socket_;
};

}  // namespace zephyx::send
