#include "tools/loopback_counters.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zephyx::tool {

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
  }
  return -1;
}

long kernelDrops(int port) {
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);  // the heading
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  long drops = -1;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local;
    fields >> slot >> local;
    if (local.size() < 5 || local.compare(local.size() - 5, 5, wanted) != 0) continue;
    std::string field, last;
    while (fields >> field) last = field;
    drops = std::max(drops, 0L) + std::stol(last);
  }
  return drops;
}

int freeUdpPort() {
  const int socketFd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socketFd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(socketFd);
  return port;
}

}  // namespace zephyx::tool
