#include "common/multicast_options.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace zephyx {
namespace {

#ifdef _WIN32
using OptionValue = char;
using Flag = DWORD;  // Windows reads its multicast options as DWORDs
#else
using OptionValue = void;
using Flag = int;
#endif

template <typename Value>
bool setIpOption(UdpSocket& socket, int option, const Value& value) {
  return ::setsockopt(socket.GetNativeHandle(), IPPROTO_IP, option,
                      reinterpret_cast<const OptionValue*>(&value), sizeof value) == 0;
}

bool changeMembership(UdpSocket& socket, int option, uint32_t group, uint32_t interfaceAddress) {
  ip_mreq membership{};
  membership.imr_multiaddr.s_addr = htonl(group);
  membership.imr_interface.s_addr = htonl(interfaceAddress);
  return setIpOption(socket, option, membership);
}

}  // namespace

bool applyMulticastSending(UdpSocket& socket, const MulticastSending& sending) {
  in_addr outgoing{};
  outgoing.s_addr = htonl(sending.interfaceAddress);
  return setIpOption(socket, IP_MULTICAST_TTL, static_cast<Flag>(sending.hopLimit)) &&
         setIpOption(socket, IP_MULTICAST_LOOP, static_cast<Flag>(1)) &&
         setIpOption(socket, IP_MULTICAST_IF, outgoing);
}

bool joinMulticastGroup(UdpSocket& socket, uint32_t group, uint32_t interfaceAddress) {
  return changeMembership(socket, IP_ADD_MEMBERSHIP, group, interfaceAddress);
}

bool leaveMulticastGroup(UdpSocket& socket, uint32_t group, uint32_t interfaceAddress) {
  return changeMembership(socket, IP_DROP_MEMBERSHIP, group, interfaceAddress);
}

}  // namespace zephyx
