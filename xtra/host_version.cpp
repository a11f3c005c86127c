#include "xtra/host_version.h"

#include <limits>

namespace zephyx::xtra {

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t parseMajorVersion(const char* text, size_t size) {
  size_t at = 0;
  while (at < size && text[at] != '\0' && isSpace(text[at])) ++at;
  bool negative = false;
  if (at < size && (text[at] == '-' || text[at] == '+')) {
    negative = text[at] == '-';
    ++at;
  }
  int64_t magnitude = 0;
  for (; at < size && isDigit(text[at]); ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > std::numeric_limits<int32_t>::max()) {
      magnitude = std::numeric_limits<int32_t>::max();
    }
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool isModernVersion(const char* text, size_t size) { return parseMajorVersion(text, size) >= 11; }

}  // namespace zephyx::xtra
