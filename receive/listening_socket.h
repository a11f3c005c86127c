// The UDP socket a receiver listens on, and the loop that reads it.
#pragma once

#include <atomic>
#include <cstddef>

#include "ip/IpEndpointName.h"
#include "ip/PacketListener.h"
#include "ip/UdpSocket.h"

namespace zephyx::receive {

#ifdef _WIN32

using ListeningSocket = UdpListeningReceiveSocket;

#else

// In place of the codec's listening socket, with the same interface, texts
// and 4098-byte receive buffer. The codec gives no handle on its socket, so
// its kernel buffer stays at the system default (about 2 ms of a 100,000
// message a second stream), and it makes a select and a recvfrom for every
// datagram. This one asks for a larger kernel buffer (the kernel grants up
// to net.core.rmem_max) and, once the socket is readable, reads whatever
// waits in batches.
class PosixListeningSocket {
 public:
  // The receive buffer the codec reads datagrams into: a longer one
  // arrives cut to this size.
  static constexpr size_t DatagramBufferSize = 4098;
  // Datagrams read by one system call.
  static constexpr unsigned Batch = 32;
  // The kernel buffer asked for.
  static constexpr int KernelBufferBytes = 4 * 1024 * 1024;

  // Binds to `localEndpoint` (any address, and any port for ANY_PORT).
  // Throws std::runtime_error with the codec's texts: "unable to create udp
  // socket", "creation of asynchronous break pipes failed", "unable to
  // bind udp socket".
  PosixListeningSocket(const IpEndpointName& localEndpoint, PacketListener* listener);
  ~PosixListeningSocket();
  PosixListeningSocket(const PosixListeningSocket&) = delete;
  PosixListeningSocket& operator=(const PosixListeningSocket&) = delete;

  // Hands every datagram to the listener until AsynchronousBreak. Throws
  // std::runtime_error("select failed") if waiting fails.
  void Run();
  // Any thread. Ends Run, or the next Run at once.
  void AsynchronousBreak();

 private:
  int socket_ = -1;
  int breakPipe_[2] = {-1, -1};
  PacketListener* listener_;
  std::atomic<bool> break_{false};
};

using ListeningSocket = PosixListeningSocket;

#endif

}  // namespace zephyx::receive
