// Where a whole packet goes: one datagram, or one frame of a stream.
#pragma once

#include <cstddef>

namespace zephyx::send {

// A socket of one's own, or the listening socket towards a given peer.
// Host thread.
class DatagramSink {
 public:
  // Gets ready for one datagram: a socket made, a destination resolved.
  // False when it cannot take one; then nothing is encoded.
  virtual bool open() = 0;
  // One packet. False when it was refused here; a datagram that the
  // system takes but does not deliver is not noticed.
  virtual bool send(const char* data, size_t size) = 0;

 protected:
  ~DatagramSink() = default;
};

}  // namespace zephyx::send
