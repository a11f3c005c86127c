#include "tests/support/osc_bytes.h"

#include <cstring>

namespace zephyx::testsupport {

std::vector<char> charsOfHex(const char* text) {
  std::vector<char> out;
  int high = -1;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ' ') continue;
    const int digit = *c <= '9' ? *c - '0' : *c - 'a' + 10;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return out;
}

OscBytes& OscBytes::str(const std::string& text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  bytes_.push_back(0);
  while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  return *this;
}

OscBytes& OscBytes::u32(uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
  return *this;
}

OscBytes& OscBytes::i32(int32_t value) { return u32(static_cast<uint32_t>(value)); }

OscBytes& OscBytes::u64(uint64_t value) {
  u32(static_cast<uint32_t>(value >> 32));
  return u32(static_cast<uint32_t>(value));
}

OscBytes& OscBytes::f32(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return u32(bits);
}

OscBytes& OscBytes::f64(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return u64(bits);
}

OscBytes& OscBytes::blob(const Bytes& data) {
  u32(static_cast<uint32_t>(data.size()));
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  return *this;
}

OscBytes& OscBytes::raw(std::initializer_list<uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

OscBytes& OscBytes::raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

OscBytes& OscBytes::element(const Bytes& contents) {
  u32(static_cast<uint32_t>(contents.size()));
  return raw(contents);
}

OscBytes bundleHeader(uint64_t timeTag) {
  OscBytes bytes;
  bytes.str("#bundle").u64(timeTag);
  return bytes;
}

}  // namespace zephyx::testsupport
