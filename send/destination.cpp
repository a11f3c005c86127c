#include "send/destination.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include "ip/IpEndpointName.h"
#include "ip/NetworkingUtils.h"

namespace zephyx::send {
namespace {

// A plain dotted quad is read here, as the resolver would read it, without
// the resolver checking its configuration files at every send. Names and
// the short and octal forms still go to the resolver.
unsigned long resolve(const char* host) {
  in_addr numeric{};
  if (inet_pton(AF_INET, host, &numeric) == 1) return ntohl(numeric.s_addr);
  return GetHostByName(host);
}

}  // namespace

bool resolveDestination(const char* host, int32_t port, uint32_t* address) {
  if (port < 1 || port > 65535) return false;
  // Windows resolves the empty name to this machine's own address.
  if (host == nullptr || host[0] == '\0') return false;
  const unsigned long resolved = resolve(host);
  // 0.0.0.0 would reach this machine, and so would the limited broadcast
  // address: the codec takes it for "any address" and connects to 0.0.0.0.
  // A network's own broadcast address (ending in .255 for a /24) works.
  if (resolved == 0 || resolved == IpEndpointName::ANY_ADDRESS) return false;
  *address = static_cast<uint32_t>(resolved);
  return true;
}

}  // namespace zephyx::send
