#include "receive/receive_buffer.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <mswsock.h>
#else
#include <sys/socket.h>
#endif

namespace zephyx::receive {
namespace {

#if defined(_WIN32)
using OptionValue = char;
using OptionLength = int;
// Windows reports the size it was given.
constexpr int ReportedFor(int asked) { return asked; }
constexpr int AskedFor(int reported) { return reported; }
#else
using OptionValue = void;
using OptionLength = socklen_t;
constexpr int ReportedFor(int asked) { return 2 * asked; }
constexpr int AskedFor(int reported) { return reported / 2; }
#endif

bool setReceiveBuffer(UdpSocket& socket, int size) {
  return ::setsockopt(socket.GetNativeHandle(), SOL_SOCKET, SO_RCVBUF,
                      reinterpret_cast<const OptionValue*>(&size), sizeof size) == 0;
}

}  // namespace

int receiveBufferSize(UdpSocket& socket) {
  int size = 0;
  OptionLength length = sizeof size;
  const bool known = ::getsockopt(socket.GetNativeHandle(), SOL_SOCKET, SO_RCVBUF,
                                  reinterpret_cast<OptionValue*>(&size), &length) == 0;
  return known ? size : 0;
}

bool enlargeReceiveBuffer(UdpSocket& socket) {
  const int previous = receiveBufferSize(socket);
  if (previous >= ReportedFor(WantedReceiveBuffer)) return true;
  if (!setReceiveBuffer(socket, WantedReceiveBuffer)) return false;
  if (receiveBufferSize(socket) < previous) setReceiveBuffer(socket, AskedFor(previous));
  return true;
}

bool ignoreUnreachablePorts(UdpSocket& socket) {
#if defined(_WIN32)
  BOOL report = FALSE;
  DWORD returned = 0;
  return ::WSAIoctl(static_cast<SOCKET>(socket.GetNativeHandle()), SIO_UDP_CONNRESET, &report,
                    sizeof report, nullptr, 0, &returned, nullptr, nullptr) == 0;
#else
  (void)socket;
  return true;
#endif
}

}  // namespace zephyx::receive
