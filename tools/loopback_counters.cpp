#include "tools/loopback_counters.h"

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

}  // namespace zephyx::tool
