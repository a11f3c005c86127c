#include "receive/listening_socket.h"

#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace zephyx::receive {

PosixListeningSocket::PosixListeningSocket(const IpEndpointName& localEndpoint,
                                           PacketListener* listener)
    : listener_(listener) {
  // In the codec's order: socket, break pipe, bind.
  socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socket_ < 0) throw std::runtime_error("unable to create udp socket\n");
  if (::pipe(breakPipe_) != 0) {
    ::close(socket_);
    throw std::runtime_error("creation of asynchronous break pipes failed\n");
  }
  // Best effort: the kernel grants what it allows, and less is no failure.
  const int wanted = KernelBufferBytes;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = localEndpoint.address == IpEndpointName::ANY_ADDRESS
                                ? htonl(INADDR_ANY)
                                : htonl(static_cast<uint32_t>(localEndpoint.address));
  address.sin_port = localEndpoint.port == IpEndpointName::ANY_PORT
                         ? 0
                         : htons(static_cast<uint16_t>(localEndpoint.port));
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    ::close(socket_);
    ::close(breakPipe_[0]);
    ::close(breakPipe_[1]);
    throw std::runtime_error("unable to bind udp socket\n");
  }
}

PosixListeningSocket::~PosixListeningSocket() {
  ::close(socket_);
  ::close(breakPipe_[0]);
  ::close(breakPipe_[1]);
}

void PosixListeningSocket::AsynchronousBreak() {
  break_.store(true, std::memory_order_release);
  const char wake = '!';
  // A full pipe already wakes the loop.
  [[maybe_unused]] const ssize_t written = ::write(breakPipe_[1], &wake, 1);
}

void PosixListeningSocket::Run() {
  std::vector<char> buffers(static_cast<size_t>(Batch) * DatagramBufferSize);
  mmsghdr messages[Batch];
  iovec parts[Batch];
  sockaddr_in senders[Batch];

  while (!break_.load(std::memory_order_acquire)) {
    pollfd waiting[2] = {{socket_, POLLIN, 0}, {breakPipe_[0], POLLIN, 0}};
    if (::poll(waiting, 2, -1) < 0) {
      if (break_.load(std::memory_order_acquire)) break;
      if (errno == EINTR) continue;
      throw std::runtime_error("select failed\n");
    }
    if (waiting[1].revents != 0) {
      char drained[64];
      [[maybe_unused]] const ssize_t drainedBytes = ::read(breakPipe_[0], drained, sizeof drained);
    }
    if (waiting[0].revents == 0) continue;

    // Everything that waits, a batch per call, without blocking.
    while (!break_.load(std::memory_order_acquire)) {
      for (unsigned i = 0; i < Batch; ++i) {
        parts[i].iov_base = buffers.data() + static_cast<size_t>(i) * DatagramBufferSize;
        parts[i].iov_len = DatagramBufferSize;
        messages[i].msg_hdr = msghdr{};
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_len = 0;
      }
      const int count = ::recvmmsg(socket_, messages, Batch, MSG_DONTWAIT, nullptr);
      if (count <= 0) break;
      for (int i = 0; i < count; ++i) {
        // A longer datagram arrives cut to the buffer, as from the codec.
        const unsigned size = messages[i].msg_len;
        if (size == 0) continue;
        const IpEndpointName from(ntohl(senders[i].sin_addr.s_addr), ntohs(senders[i].sin_port));
        listener_->ProcessPacket(static_cast<const char*>(parts[i].iov_base),
                                 static_cast<int>(size), from);
        if (break_.load(std::memory_order_acquire)) return;
      }
      if (static_cast<unsigned>(count) < Batch) break;
    }
  }
}

}  // namespace zephyx::receive

#endif
