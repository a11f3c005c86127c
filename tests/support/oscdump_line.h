// Lines that liblo's oscdump prints, for the tests that use it as a peer.
#pragma once

#include <string>

namespace zephyx::testsupport {

// oscdump's line without the leading "xxxxxxxx.xxxxxxxx " receive time
// stamp; other lines (liblo's error reports) as they are.
inline std::string withoutTimeStamp(const std::string& line) {
  auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  if (line.size() < 18 || line[8] != '.' || line[17] != ' ') return line;
  for (size_t i = 0; i < 17; ++i) {
    if (i != 8 && !isHex(line[i])) return line;
  }
  return line.substr(18);
}

}  // namespace zephyx::testsupport
