// A packet being written into the send buffer.
#pragma once

#include <cstddef>

#include "osc/OscOutboundPacketStream.h"

namespace zephyx::send {

// The codec's stream, plus what the encoder must know across levels:
// whether every part of the packet was written as asked, and how deep the
// arrays and bundles nest. A packet that is not complete is never sent.
class PacketWriter {
 public:
  // Deepest nesting of arrays and bundles together. Deeper (a list that
  // holds itself, say) fails the packet rather than the host's stack.
  static constexpr int MaxNesting = 256;

  PacketWriter(char* buffer, size_t capacity) : stream_(buffer, capacity) {}

  // One write to the stream. A write that does not fit writes nothing,
  // fails the packet and returns false. Once the packet has failed nothing
  // more is written: it will not be sent, and the codec would refuse to
  // close what was left open.
  template <typename Part>
  bool put(const Part& part) {
    if (!complete_) return false;
    try {
      stream_ << part;
      return true;
    } catch (const osc::OutOfBufferMemoryException&) {
      complete_ = false;
      return false;
    }
  }

  // A part that could not be written as asked.
  void fail() { complete_ = false; }
  bool complete() const { return complete_; }

  // Enters an array or bundle; false (and the packet failed) when too deep.
  bool enter() {
    if (depth_ >= MaxNesting) {
      complete_ = false;
      return false;
    }
    ++depth_;
    return true;
  }
  void leave() { --depth_; }

  const char* data() const { return stream_.Data(); }
  size_t size() const { return stream_.Size(); }

 private:
  osc::OutboundPacketStream stream_;
  bool complete_ = true;
  int depth_ = 0;
};

}  // namespace zephyx::send
