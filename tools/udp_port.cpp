#include "tools/udp_port.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace zephyx::tool {
namespace {

#if defined(_WIN32)
using Socket = SOCKET;
const Socket NoSocket = INVALID_SOCKET;
// Winsock is started once per process before the first socket; whoever
// else uses sockets may not have started it yet.
bool socketsStarted() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
void closeSocket(Socket socket) { ::closesocket(socket); }
#else
using Socket = int;
constexpr Socket NoSocket = -1;
bool socketsStarted() { return true; }
void closeSocket(Socket socket) { ::close(socket); }
#endif

}  // namespace

int freeUdpPort() {
  if (!socketsStarted()) return 0;
  const Socket probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == NoSocket) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  closeSocket(probe);
  return port;
}

}  // namespace zephyx::tool
