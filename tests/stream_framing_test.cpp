#include "stream/stream_framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/osc_bytes.h"

namespace zephyx::stream {
namespace {

using Bytes = std::vector<char>;
constexpr auto* hex = &testsupport::charsOfHex;

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes repeated(const Bytes& unit, size_t times) {
  Bytes out;
  out.reserve(unit.size() * times);
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

Bytes framed(Framing framing, const Bytes& packet) {
  Bytes out;
  EXPECT_TRUE(appendFrame(framing, packet.data(), packet.size(), out));
  return out;
}

const Framing BothFramings[] = {Framing::Length, Framing::Slip};

const char* nameOf(Framing framing) { return framing == Framing::Length ? "Length" : "Slip"; }

// Gathers the frames, and how many were handed over from the piece fed.
class Collected final : public FrameSink {
 public:
  void frame(const char* data, size_t size) override {
    frames.emplace_back(data, data + size);
    if (data >= piece && data + size <= piece + pieceSize) ++fromPiece;
  }
  std::vector<Bytes> frames;
  const char* piece = nullptr;
  size_t pieceSize = 0;
  size_t fromPiece = 0;
};

// How a stream is cut into the pieces that are fed.
struct Split {
  const char* name;
  std::function<size_t(std::mt19937&)> nextPiece;
};

const Split Splits[] = {
    {"whole", [](std::mt19937&) { return SIZE_MAX; }},
    {"one byte at a time", [](std::mt19937&) { return size_t{1}; }},
    {"random pieces of 1 to 7 bytes",
     [](std::mt19937& random) { return std::uniform_int_distribution<size_t>(1, 7)(random); }},
    {"random pieces of 1 to 5000 bytes",
     [](std::mt19937& random) { return std::uniform_int_distribution<size_t>(1, 5000)(random); }},
};

struct Fed {
  bool accepted = true;  // what the last feed answered
  Collected sink;
  size_t mostBuffered = 0;
};

Fed feedInPieces(FrameReader& reader, const Bytes& stream, const Split& split) {
  Fed fed;
  std::mt19937 random(7);
  for (size_t at = 0; at < stream.size();) {
    const size_t piece = std::min(split.nextPiece(random), stream.size() - at);
    fed.sink.piece = stream.data() + at;
    fed.sink.pieceSize = piece;
    const bool accepted = reader.feed(stream.data() + at, piece, fed.sink);
    if (accepted && !fed.accepted) ADD_FAILURE() << "accepted again after refusing, at " << at;
    fed.accepted = accepted;
    fed.mostBuffered = std::max(fed.mostBuffered, reader.bufferedBytes());
    at += piece;
  }
  return fed;
}

// --- Encoding and decoding the same frames ---------------------------------

struct FrameRow {
  std::string name;
  Bytes packet;
  Bytes length;  // the frame, each way
  Bytes slip;
};

std::vector<FrameRow> frameRows() {
  const Bytes large(0x010203, 'a');  // its size prefix has three different bytes
  return {
      {"empty packet", {}, hex("00000000"), hex("c0 c0")},
      {"message without END or ESC", hex("2f610000 2c690000 00000001"),
       hex("0000000c 2f610000 2c690000 00000001"), hex("c0 2f610000 2c690000 00000001 c0")},
      {"END alone", hex("c0"), hex("00000001 c0"), hex("c0 dbdc c0")},
      {"ESC alone", hex("db"), hex("00000001 db"), hex("c0 dbdd c0")},
      {"ESC_END and ESC_ESC without an ESC are plain", hex("dcdd"), hex("00000002 dcdd"),
       hex("c0 dcdd c0")},
      {"ESC ESC_END spelled out", hex("dbdc"), hex("00000002 dbdc"), hex("c0 dbdd dc c0")},
      {"END and ESC at both edges and together", hex("c0 61 db db c0 c0"),
       hex("00000006 c061dbdbc0c0"), hex("c0 dbdc 61 dbdd dbdd dbdc dbdc c0")},
      {"66051 bytes", large, join({hex("00010203"), large}), join({hex("c0"), large, hex("c0")})},
  };
}

TEST(StreamFraming, AppendFrameWritesEachFramingExactly) {
  for (const FrameRow& row : frameRows()) {
    SCOPED_TRACE(row.name);
    Bytes out = hex("ee");  // appended after what is there
    EXPECT_TRUE(appendFrame(Framing::Length, row.packet.data(), row.packet.size(), out));
    EXPECT_EQ(out, join({hex("ee"), row.length}));
    EXPECT_EQ(framed(Framing::Slip, row.packet), row.slip);
  }
}

TEST(StreamFraming, AppendFrameRefusesAPacketAboveTheLargest) {
  const Bytes tooLarge(MaxFrameSize + 1, 'a');
  for (Framing framing : BothFramings) {
    SCOPED_TRACE(nameOf(framing));
    Bytes out = hex("ee");
    EXPECT_FALSE(appendFrame(framing, tooLarge.data(), tooLarge.size(), out));
    EXPECT_EQ(out, hex("ee"));
  }
}

TEST(StreamFraming, ReadsTheFramesBackWhateverThePieces) {
  std::vector<Bytes> packets;
  Bytes lengthStream, slipStream;
  for (const FrameRow& row : frameRows()) {
    if (!row.packet.empty()) packets.push_back(row.packet);  // empty frames are passed over
    lengthStream = join({lengthStream, row.length});
    slipStream = join({slipStream, row.slip});
  }
  for (Framing framing : BothFramings) {
    for (const Split& split : Splits) {
      SCOPED_TRACE(std::string(nameOf(framing)) + ", " + split.name);
      FrameReader reader(framing);
      const Fed fed =
          feedInPieces(reader, framing == Framing::Length ? lengthStream : slipStream, split);
      EXPECT_TRUE(fed.accepted);
      EXPECT_TRUE(fed.sink.frames == packets);
      EXPECT_EQ(reader.bufferedBytes(), 0u);
      EXPECT_EQ(reader.damagedFrames(), 0u);
    }
  }
}

// --- Limits ----------------------------------------------------------------

struct PrefixRow {
  const char* name;
  const char* prefix;
  bool accepted;
};

const PrefixRow PrefixRows[] = {
    {"the most negative int32", "80000000", false},
    {"-1", "ffffffff", false},
    {"the largest int32", "7fffffff", false},
    {"MaxFrameSize + 1", "00100001", false},
    {"MaxFrameSize", "00100000", true},
};

TEST(StreamFraming, LengthRefusesASizeAboveTheLargestFromItsPrefixAlone) {
  static_assert(MaxFrameSize == 0x100000);
  const Bytes before = hex("00000004 2f610000");
  const Bytes after = hex("00000004 2f620000");
  for (const PrefixRow& row : PrefixRows) {
    SCOPED_TRACE(row.name);
    if (row.accepted) {
      const Bytes packet(MaxFrameSize, 'x');
      for (const Split& split : Splits) {
        SCOPED_TRACE(split.name);
        FrameReader reader(Framing::Length);
        const Fed fed = feedInPieces(reader, join({before, hex(row.prefix), packet, after}), split);
        EXPECT_TRUE(fed.accepted);
        EXPECT_TRUE(fed.sink.frames ==
                    (std::vector<Bytes>{hex("2f610000"), packet, hex("2f620000")}));
        EXPECT_LE(fed.mostBuffered, MaxFrameSize + LengthPrefixSize);
      }
      continue;
    }
    FrameReader reader(Framing::Length);
    const Split& oneByte = Splits[1];
    const Fed fed = feedInPieces(reader, join({before, hex(row.prefix)}), oneByte);
    EXPECT_FALSE(fed.accepted);
    EXPECT_EQ(fed.sink.frames, std::vector<Bytes>{hex("2f610000")});
    EXPECT_EQ(reader.bufferedBytes(), 0u);
    Collected sink;
    EXPECT_FALSE(reader.feed(after.data(), after.size(), sink)) << "refuses until reset";
    EXPECT_TRUE(sink.frames.empty());
    reader.reset();
    EXPECT_TRUE(reader.feed(after.data(), after.size(), sink));
    EXPECT_EQ(sink.frames, std::vector<Bytes>{hex("2f620000")});
  }
}

// `start`, which counts as `counted` bytes of the frame, then as many units
// as make MaxFrameSize, fill a Slip frame to its limit; one more unit passes it.
struct SlipLimitRow {
  const char* name;
  const char* start;
  size_t counted;
  const char* unit;
};

const SlipLimitRow SlipLimitRows[] = {
    {"plain bytes", "c0", 0, "61"},
    {"escaped ENDs, two bytes each on the stream", "c0", 0, "dbdc"},
    {"no END before them", "", 0, "61"},
    {"bytes after a bad escape, the bad one first", "c0 db", 0, "61"},
    {"bytes before a bad escape and after it", "c0 61 dbdc db", 2, "62"},
};

TEST(StreamFraming, SlipRefusesAFrameAboveTheLargestWithoutWaitingForItsEnd) {
  for (const SlipLimitRow& row : SlipLimitRows) {
    for (const Split& split : Splits) {
      SCOPED_TRACE(std::string(row.name) + ", " + split.name);
      const Bytes full =
          join({hex(row.start), repeated(hex(row.unit), MaxFrameSize - row.counted)});
      FrameReader reader(Framing::Slip);
      const Fed fed = feedInPieces(reader, full, split);
      EXPECT_TRUE(fed.accepted);
      EXPECT_LE(fed.mostBuffered, MaxFrameSize);
      const Bytes unit = hex(row.unit);
      Collected sink;
      EXPECT_FALSE(reader.feed(unit.data(), unit.size(), sink));
      EXPECT_EQ(reader.bufferedBytes(), 0u);
      const Bytes good = hex("c0 61 c0");
      EXPECT_FALSE(reader.feed(good.data(), good.size(), sink));
      EXPECT_TRUE(sink.frames.empty());
    }
  }
}

TEST(StreamFraming, SlipTakesAPacketOfTheLargestSizeEvenWhenEveryByteIsEscaped) {
  for (const char* fill : {"61", "c0", "db"}) {
    const Bytes packet = repeated(hex(fill), MaxFrameSize);
    for (const Split& split : Splits) {
      SCOPED_TRACE(std::string(fill) + ", " + split.name);
      FrameReader reader(Framing::Slip);
      const Fed fed = feedInPieces(reader, framed(Framing::Slip, packet), split);
      EXPECT_TRUE(fed.accepted);
      ASSERT_EQ(fed.sink.frames.size(), 1u);
      EXPECT_TRUE(fed.sink.frames[0] == packet);
      EXPECT_LE(fed.mostBuffered, MaxFrameSize);
    }
  }
}

// --- Damage, reset and volume ----------------------------------------------

// Each between two good frames, the second of which needs unescaping.
const char* const DamagedSlipFrames[] = {
    "c0 61 db 62 63 c0",         // ESC, then a plain byte
    "c0 61 db db dc c0",         // ESC ESC: the ESC_END after it is dropped too
    "c0 61 db c0",               // ESC, then the END that closes the frame
    "c0 db 00 c0",               // the bad escape first
    "c0 dbdc 61 db 01 dbdd c0",  // good escapes around a bad one
};

TEST(StreamFraming, SlipDropsADamagedFrameCountsItAndReadsOn) {
  const Bytes first = hex("c0 2f610000 c0");
  const Bytes second = hex("c0 dbdc 2f62 c0");
  for (const char* damaged : DamagedSlipFrames) {
    for (const Split& split : Splits) {
      SCOPED_TRACE(std::string(damaged) + ", " + split.name);
      FrameReader reader(Framing::Slip);
      const Fed fed = feedInPieces(reader, join({first, hex(damaged), second}), split);
      EXPECT_TRUE(fed.accepted);
      EXPECT_EQ(fed.sink.frames, (std::vector<Bytes>{hex("2f610000"), hex("c0 2f62")}));
      EXPECT_EQ(reader.damagedFrames(), 1u);
    }
  }
}

struct ResetRow {
  Framing framing;
  const char* partial;  // ends inside a frame
  const char* next;     // the new connection's first bytes
  const char* frame;    // the frame they hold, read as the start of a stream
};

const ResetRow ResetRows[] = {
    {Framing::Length, "00000008 6162", "00000002 6364", "6364"},
    {Framing::Length, "0000", "00000002 6364", "6364"},
    // Read on from the ESC, the new bytes would have been an escaped END.
    {Framing::Slip, "c0 61 db", "dc 62 c0", "dc 62"},
    {Framing::Slip, "c0 db 00 61", "62 c0", "62"},  // dropping a damaged frame
};

TEST(StreamFraming, ResetStartsANewStream) {
  for (const ResetRow& row : ResetRows) {
    SCOPED_TRACE(std::string(nameOf(row.framing)) + " " + row.partial);
    FrameReader reader(row.framing);
    Collected sink;
    const Bytes partial = hex(row.partial);
    EXPECT_TRUE(reader.feed(partial.data(), partial.size(), sink));
    EXPECT_TRUE(sink.frames.empty());
    reader.reset();
    EXPECT_EQ(reader.bufferedBytes(), 0u);
    EXPECT_EQ(reader.damagedFrames(), 0u);
    const Bytes next = hex(row.next);
    EXPECT_TRUE(reader.feed(next.data(), next.size(), sink));
    EXPECT_EQ(sink.frames, std::vector<Bytes>{hex(row.frame)});
  }
}

TEST(StreamFraming, TenThousandPacketsInOneFeedHoldAtMostOnePartialFrame) {
  constexpr size_t Count = 10000;
  std::vector<Bytes> packets;
  size_t largest = 0;
  for (size_t i = 0; i < Count; ++i) {
    Bytes packet = hex("2f6e0000 2c690000");
    const std::string number = std::to_string(i);
    packet.insert(packet.end(), number.begin(), number.end());
    packet.resize(packet.size() + i % 97, static_cast<char>(i));  // some ENDs and ESCs
    largest = std::max(largest, packet.size());
    packets.push_back(packet);
  }
  for (Framing framing : BothFramings) {
    Bytes stream;
    size_t unescaped = 0;
    for (const Bytes& packet : packets) {
      EXPECT_TRUE(appendFrame(framing, packet.data(), packet.size(), stream));
      unescaped += std::none_of(packet.begin(), packet.end(),
                                [](char c) { return c == '\xc0' || c == '\xdb'; });
    }
    for (const Split& split : Splits) {
      SCOPED_TRACE(std::string(nameOf(framing)) + ", " + split.name);
      FrameReader reader(framing);
      const Fed fed = feedInPieces(reader, stream, split);
      EXPECT_TRUE(fed.accepted);
      EXPECT_TRUE(fed.sink.frames == packets);
      EXPECT_LT(fed.mostBuffered, LengthPrefixSize + largest);
      EXPECT_EQ(reader.bufferedBytes(), 0u);
      if (&split == &Splits[0]) {
        // Handed over from the bytes fed, not copied.
        EXPECT_EQ(fed.sink.fromPiece, framing == Framing::Length ? Count : unescaped);
      }
    }
  }
}

}  // namespace
}  // namespace zephyx::stream
