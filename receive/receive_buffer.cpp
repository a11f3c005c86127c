#include "receive/receive_buffer.h"

#include <algorithm>

#if defined(__linux__)
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#endif

namespace zephyx::receive {

#if defined(__linux__)
namespace {

struct SocketEntry {
  int fd;
  uint64_t identity;  // the socket's inode
};

// Every socket descriptor of the process. Read through /proc, so it costs a
// few system calls per descriptor, once per start.
template <typename Visit>
void forEachSocket(Visit visit) {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return;
  const int listing = ::dirfd(fds);
  while (const dirent* entry = ::readdir(fds)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    struct stat status {};
    if (fd == listing || ::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
    visit(SocketEntry{fd, static_cast<uint64_t>(status.st_ino)});
  }
  ::closedir(fds);
}

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

OpenSockets OpenSockets::now() {
  OpenSockets sockets;
  forEachSocket([&](const SocketEntry& entry) { sockets.identities_.push_back(entry.identity); });
  std::sort(sockets.identities_.begin(), sockets.identities_.end());
  return sockets;
}

bool enlargeReceiveBuffer(const OpenSockets& before, int32_t port) {
  int found = -1;
  int matches = 0;
  forEachSocket([&](const SocketEntry& entry) {
    if (std::binary_search(before.identities_.begin(), before.identities_.end(), entry.identity)) {
      return;
    }
    if (!isListeningUdpOn(entry.fd, port)) return;
    found = entry.fd;
    ++matches;
  });
  // Another thread may have opened a socket meanwhile: rather none than the wrong one.
  if (matches != 1) return false;

  // The kernel reports the doubled size it keeps, and takes the size to halve.
  const int previous = receiveBufferOf(found);
  if (previous >= 2 * WantedReceiveBuffer) return true;
  const int wanted = WantedReceiveBuffer;
  if (::setsockopt(found, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted) != 0) return false;
  // Where the system's maximum is below its default, asking would shrink it.
  if (receiveBufferOf(found) < previous) {
    const int restored = previous / 2;
    ::setsockopt(found, SOL_SOCKET, SO_RCVBUF, &restored, sizeof restored);
  }
  return true;
}

#else

OpenSockets OpenSockets::now() { return OpenSockets(); }

bool enlargeReceiveBuffer(const OpenSockets&, int32_t) { return false; }

#endif

}  // namespace zephyx::receive
