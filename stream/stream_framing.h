// The framing of OSC packets on a TCP stream, which has no packet
// boundaries of its own: bytes only, no socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zephyx::stream {

// Length is OSC 1.0's: each packet is preceded by its size, a big-endian
// int32. Slip is OSC 1.1's: each packet is sent as RFC 1055 has it, with an
// END byte at both ends.
enum class Framing : uint8_t { Length, Slip };

// The largest packet a stream carries, either way. A Slip packet is
// measured by its own bytes, not by the escaped bytes that carry it.
constexpr size_t MaxFrameSize = 1024 * 1024;

// The size prefix of a Length frame.
constexpr size_t LengthPrefixSize = 4;

// Appends `packet` to `out` as one frame. Length: its size as a big-endian
// int32, then its bytes. Slip: END (0xC0), its bytes with each END in it
// written ESC (0xDB) ESC_END (0xDC) and each ESC written ESC ESC_ESC
// (0xDD), then END. An empty packet makes an empty frame, which a reader
// passes over. Returns false and appends nothing when `size` is above
// MaxFrameSize, which no reader would take.
[[nodiscard]] bool appendFrame(Framing framing, const char* packet, size_t size,
                               std::vector<char>& out);

// What a FrameReader hands each complete frame to.
class FrameSink {
 public:
  // `data` holds one whole packet of 1 to MaxFrameSize bytes; it is valid
  // during the call only, and may point into the bytes being fed. Called on
  // the thread that feeds; it must not call back into the reader.
  virtual void frame(const char* data, size_t size) = 0;

 protected:
  ~FrameSink() = default;
};

// Reads frames out of a byte stream that arrives in pieces of any size, from
// one byte at a time to thousands of frames in one read, and gives the same
// frames whatever the pieces. Memory stays bounded: it holds at most one
// partial frame, of at most MaxFrameSize bytes (with Length, plus its size
// prefix), in a buffer that it keeps from frame to frame, so that reading
// allocates nothing once the buffer has grown to the largest frame. A
// Length frame that lies wholly inside one piece is handed over from the
// piece itself, as is a Slip frame that needs no unescaping. One reader per
// stream; not thread-safe.
class FrameReader {
 public:
  explicit FrameReader(Framing framing) : framing_(framing) {}

  // Feeds the next bytes of the stream and hands every frame they complete
  // to `sink`, in order. Returns false once the stream cannot be framed any
  // more, and from then on until reset(), without reading what it is given:
  // with Length, a size prefix above MaxFrameSize or negative (refused as
  // soon as its four bytes are in, the frames before it handed over); with
  // Slip, a frame of more than MaxFrameSize bytes, refused at the byte past
  // the limit, without waiting for its END. A Slip frame with a bad escape
  // (ESC followed by anything but ESC_END or ESC_ESC) is damaged: it is
  // dropped up to the next END and counted, and reading goes on; its bytes
  // up to the bad escape and every byte after count towards the limit.
  // Empty frames (a zero size, or two ENDs in a row) are passed over.
  bool feed(const char* data, size_t size, FrameSink& sink);

  // For a new connection: drops any partial frame, forgets a failure and
  // zeroes damagedFrames(). Keeps the buffer's memory.
  void reset();

  // Slip frames dropped for a bad escape since the last reset().
  uint64_t damagedFrames() const { return damagedFrames_; }

  // The bytes of a partial frame held now, a Length frame's size prefix
  // included: at most MaxFrameSize + LengthPrefixSize - 1.
  size_t bufferedBytes() const { return buffer_.size() + prefixHeld_; }

 private:
  bool feedLength(const char* data, size_t size, FrameSink& sink);
  bool feedSlip(const char* data, size_t size, FrameSink& sink);
  // Appends to the partial frame.
  void hold(const char* data, size_t size);
  void clearFrame();
  bool fail();

  Framing framing_;
  bool failed_ = false;
  uint64_t damagedFrames_ = 0;
  std::vector<char> buffer_;  // the partial frame's packet bytes
  // Length: the size prefix read so far, and the size it gave.
  unsigned char prefix_[LengthPrefixSize] = {};
  size_t prefixHeld_ = 0;
  size_t frameSize_ = 0;
  // Slip: the last piece ended with an ESC; a damaged frame is being
  // dropped, and how long it has been.
  bool escaped_ = false;
  bool dropping_ = false;
  size_t droppedLength_ = 0;
};

}  // namespace zephyx::stream
