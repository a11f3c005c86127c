// Writing expected OSC packets out by hand, a field at a time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/udp_loopback.h"

namespace zephyx::testsupport {

// The bytes that lower-case hex digits spell, spaces passed over:
// "2f61 0000" is 2f 61 00 00.
std::vector<char> charsOfHex(const char* text);

// Appends in network byte order, with OSC's padding to four bytes.
class OscBytes {
 public:
  OscBytes& str(const std::string& text);  // the bytes, a NUL, zeros to a multiple of four
  OscBytes& i32(int32_t value);
  OscBytes& u32(uint32_t value);
  OscBytes& u64(uint64_t value);
  OscBytes& f32(float value);
  OscBytes& f64(double value);
  OscBytes& blob(const Bytes& data);  // size, bytes, zeros to a multiple of four
  OscBytes& raw(std::initializer_list<uint8_t> bytes);
  OscBytes& raw(const Bytes& bytes);
  // A bundle element: its size, then its bytes.
  OscBytes& element(const Bytes& contents);

  const Bytes& bytes() const { return bytes_; }
  operator const Bytes&() const { return bytes_; }

 private:
  Bytes bytes_;
};

// "#bundle" and a time tag.
OscBytes bundleHeader(uint64_t timeTag);

}  // namespace zephyx::testsupport
