#include "tests/support/udp_loopback.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <stdexcept>

namespace zephyx::testsupport {
namespace {

#if defined(_WIN32)
// Winsock needs starting once per process before the first socket; the
// library's own start is inside the DLL and may not have happened yet.
const bool winsockStarted = [] {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();

int closeSocket(int fd) { return ::closesocket(static_cast<SOCKET>(fd)); }
int pollSockets(pollfd* fds, unsigned long count, int timeout) {
  return ::WSAPoll(fds, count, timeout);
}
using DatagramSize = int;
#else
int closeSocket(int fd) { return ::close(fd); }
int pollSockets(pollfd* fds, nfds_t count, int timeout) { return ::poll(fds, count, timeout); }
using DatagramSize = ssize_t;
#endif

int boundSocket(int* port) {
  const int fd = static_cast<int>(::socket(AF_INET, SOCK_DGRAM, 0));
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closeSocket(fd);
    throw std::runtime_error("bind");
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

UdpCapture::UdpCapture() {
  socket_ = boundSocket(&port_);
  const int size = 1 << 20;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
}

UdpCapture::~UdpCapture() { closeSocket(socket_); }

void UdpCapture::send(int port, const Bytes& datagram) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  ::sendto(socket_, reinterpret_cast<const char*>(datagram.data()),
           static_cast<DatagramSize>(datagram.size()), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
}

std::optional<Bytes> UdpCapture::receive(std::chrono::milliseconds wait) {
  pollfd ready{static_cast<decltype(pollfd::fd)>(socket_), POLLIN, 0};
  if (pollSockets(&ready, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
  Bytes datagram(65536);
  sockaddr_in source{};
  socklen_t length = sizeof source;
  const DatagramSize size = ::recvfrom(socket_, reinterpret_cast<char*>(datagram.data()),
                                       static_cast<DatagramSize>(datagram.size()), 0,
                                       reinterpret_cast<sockaddr*>(&source), &length);
  if (size < 0) return std::nullopt;
  lastSourcePort_ = ntohs(source.sin_port);
  datagram.resize(static_cast<size_t>(size));
  return datagram;
}

UdpSender::UdpSender() {
  socket_ = static_cast<int>(::socket(AF_INET, SOCK_DGRAM, 0));
  if (socket_ < 0) throw std::runtime_error("socket");
}

UdpSender::~UdpSender() { closeSocket(socket_); }

void UdpSender::send(int port, const Bytes& datagram) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  ::sendto(socket_, reinterpret_cast<const char*>(datagram.data()),
           static_cast<DatagramSize>(datagram.size()), 0, reinterpret_cast<sockaddr*>(&address),
           sizeof address);
}

PortHolder::PortHolder() {
  // Bound to every address, as a listening receiver would be.
  socket_ = static_cast<int>(::socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

PortHolder::~PortHolder() { closeSocket(socket_); }

std::string hex(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    if (i > 0) text += (i % 4 == 0) ? "  " : " ";
    text += digits;
  }
  return text;
}

}  // namespace zephyx::testsupport
