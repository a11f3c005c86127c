// Any bytes as a TCP stream, through a frame reader. The first byte picks
// the framing (bit 0), the largest piece the stream is fed in (bits 1 to 3,
// the last value feeding it whole) and the seed of the piece sizes (the
// rest). The other bytes are read as a stream, which must give the same
// frames in any pieces, and are cut into packets (a size byte, 255 taking
// all that is left, then the packet) that are framed and must read back as
// they were.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "stream/stream_framing.h"

using namespace zephyx::stream;

namespace {

using Bytes = std::vector<char>;

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "stream framing fuzzer: %s\n", what);
  std::abort();
}

class Collected final : public FrameSink {
 public:
  void frame(const char* data, size_t size) override {
    require(size > 0 && size <= MaxFrameSize, "a frame of 1 to MaxFrameSize bytes");
    frames.emplace_back(data, data + size);
  }
  std::vector<Bytes> frames;
};

struct Outcome {
  bool accepted = true;
  std::vector<Bytes> frames;
  uint64_t damaged = 0;
  size_t buffered = 0;
};

constexpr uint8_t Whole = 7 << 1;

Outcome read(Framing framing, const Bytes& stream, uint8_t pattern) {
  static constexpr size_t LargestPiece[] = {1, 2, 3, 5, 16, 257, 4096, 0};
  const size_t largest = LargestPiece[(pattern >> 1) & 7];
  std::minstd_rand random(pattern >> 4);
  FrameReader reader(framing);
  Collected sink;
  Outcome outcome;
  for (size_t at = 0; at < stream.size();) {
    const size_t left = stream.size() - at;
    const size_t piece = largest == 0 ? left : 1 + random() % std::min(largest, left);
    const bool accepted = reader.feed(stream.data() + at, piece, sink);
    require(outcome.accepted || !accepted, "refuses until reset");
    outcome.accepted = accepted;
    require(reader.bufferedBytes() < MaxFrameSize + LengthPrefixSize, "one partial frame at most");
    at += piece;
  }
  outcome.frames = std::move(sink.frames);
  outcome.damaged = reader.damagedFrames();
  outcome.buffered = reader.bufferedBytes();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t pattern = data[0];
  const Framing framing = pattern & 1 ? Framing::Slip : Framing::Length;
  const Bytes rest(data + 1, data + size);

  const Outcome pieces = read(framing, rest, pattern);
  const Outcome whole = read(framing, rest, Whole);
  require(pieces.accepted == whole.accepted, "refused whatever the pieces");
  require(pieces.frames == whole.frames, "the same frames whatever the pieces");
  require(pieces.damaged == whole.damaged, "the same damage whatever the pieces");
  require(pieces.buffered == whole.buffered, "the same partial frame whatever the pieces");
  require(framing == Framing::Slip || pieces.damaged == 0, "only Slip frames are damaged");

  std::vector<Bytes> packets;
  Bytes stream;
  for (size_t at = 0; at < rest.size();) {
    const auto sizeByte = static_cast<uint8_t>(rest[at++]);
    const size_t packetSize =
        std::min<size_t>(sizeByte == 255 ? SIZE_MAX : sizeByte, rest.size() - at);
    const char* packet = rest.data() + at;
    require(appendFrame(framing, packet, packetSize, stream), "a packet within the limit framed");
    if (packetSize > 0) packets.emplace_back(packet, packet + packetSize);
    at += packetSize;
  }
  const Outcome back = read(framing, stream, pattern);
  require(back.accepted, "framed packets accepted");
  require(back.frames == packets, "framed packets read back as they were");
  require(back.damaged == 0, "framed packets undamaged");
  require(back.buffered == 0, "nothing held after the last frame");
  return 0;
}
