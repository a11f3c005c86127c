#include "receive/receive_buffer.h"

#if defined(__linux__)
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zephyx::receive {

#if defined(__linux__)
namespace {

bool isListeningUdpOn(int fd, int32_t port) {
  int type = 0;
  socklen_t typeLength = sizeof type;
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM) {
    return false;
  }
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET || address.sin_addr.s_addr != htonl(INADDR_ANY) ||
      address.sin_port == 0) {
    return false;
  }
  return port <= 0 || ntohs(address.sin_port) == port;
}

int receiveBufferOf(int fd) {
  int size = 0;
  socklen_t length = sizeof size;
  return ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 ? size : 0;
}

}  // namespace

int nextSocketDescriptor() {
  // The lowest free number, found by taking it and giving it back.
  const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (probe >= 0) ::close(probe);
  return probe;
}

bool enlargeReceiveBuffer(int descriptor, int32_t port) {
  if (descriptor < 0 || !isListeningUdpOn(descriptor, port)) return false;
  // The kernel reports the doubled size it keeps, and takes the size to halve.
  const int previous = receiveBufferOf(descriptor);
  if (previous >= 2 * WantedReceiveBuffer) return true;
  const int wanted = WantedReceiveBuffer;
  if (::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted) != 0) return false;
  // Where the system's maximum is below its default, asking would shrink it.
  if (receiveBufferOf(descriptor) < previous) {
    const int restored = previous / 2;
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &restored, sizeof restored);
  }
  return true;
}

#else

int nextSocketDescriptor() { return -1; }

bool enlargeReceiveBuffer(int, int32_t) { return false; }

#endif

}  // namespace zephyx::receive
