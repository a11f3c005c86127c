// The receiver's UDP socket: bound to a port on every local IPv4 address,
// read by the receiving thread, and also a way out for answers, so that a
// peer that answers to the port it heard from is heard in turn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/multicast_options.h"
#include "ip/UdpSocket.h"

namespace zephyx::receive {

class ListeningSocket {
 public:
  // Host thread. Binds `port` (0 lets the system choose) with `listener`
  // hearing every datagram of up to 65507 bytes, asks for a large kernel
  // receive buffer and allows answers to a broadcast address. Throws
  // std::runtime_error with the codec's text when the socket cannot be made
  // or bound.
  ListeningSocket(int32_t port, PacketListener* listener);
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  // Receiving thread. Hands each datagram to the listener until breakRun;
  // throws what the codec throws ("select failed", out of memory).
  void run() { socket_.Run(); }
  // Any thread. Makes run return, at the latest once the datagram being
  // handled is done. A break before run has started may be lost: the
  // codec clears it when run starts.
  void breakRun() { socket_.AsynchronousBreak(); }

  // Host thread. Sends `size` bytes as one datagram to `address` (IPv4,
  // host byte order) and `port`. True when the socket took it. The
  // receiving thread waits on this socket meanwhile; the codec's send
  // touches only what sending uses.
  bool sendTo(uint32_t address, int32_t port, const char* data, size_t size) noexcept;

  // Host thread. Multicast: memberships of this socket (addresses in host
  // byte order, interface 0 for the system's choice) and how answers to a
  // group leave it. False when the system refused.
  bool joinGroup(uint32_t group, uint32_t interfaceAddress) noexcept {
    return joinMulticastGroup(socket_, group, interfaceAddress);
  }
  bool leaveGroup(uint32_t group, uint32_t interfaceAddress) noexcept {
    return leaveMulticastGroup(socket_, group, interfaceAddress);
  }
  bool sendToGroupsWith(const MulticastSending& sending) noexcept {
    return applyMulticastSending(socket_, sending);
  }

  // The kernel receive buffer's size as the system reports it.
  int receiveBufferSize() noexcept;

 private:
  UdpListeningReceiveSocket socket_;
};

}  // namespace zephyx::receive
