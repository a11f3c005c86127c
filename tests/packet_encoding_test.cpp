// Encoding Lingo messages and bundles into packets, with no socket: every
// packet is compared byte for byte with one written out by hand.
#include "send/packet_sender.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/host_fixture.h"
#include "tests/support/osc_bytes.h"

namespace zephyx::send {
namespace {

using testsupport::bundleHeader;
using testsupport::Bytes;
using testsupport::hex;
using testsupport::OscBytes;

class PacketEncodingTest : public testsupport::HostFixture {
 protected:
  void TearDown() override {
    types.reset();
    HostFixture::TearDown();
  }

  // The packet `value` makes in a buffer of `bufferSize` bytes, or nothing
  // when no whole packet could be made.
  std::optional<Bytes> encode(const HostValue& value) {
    const SendContext context{&host.values(), &host.lists(), &host.objects(), &host.memory(),
                              types.get()};
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    PacketWriter writer(buffer.data(), buffer.size());
    if (!encodePacket(context, writer, value)) return std::nullopt;
    return Bytes(writer.data(), writer.data() + writer.size());
  }

  void expectPacket(const std::string& literal, const Bytes& expected) {
    OwnedValue value = lingo(literal);
    const std::optional<Bytes> packet = encode(value.get());
    ASSERT_TRUE(packet.has_value()) << literal;
    EXPECT_EQ(hex(*packet), hex(expected)) << literal;
  }

  void expectNoPacket(const std::string& literal) {
    OwnedValue value = lingo(literal);
    EXPECT_FALSE(encode(value.get()).has_value()) << literal;
  }

  static OscBytes message(const std::string& address, const std::string& tags) {
    OscBytes bytes;
    bytes.str(address).str("," + tags);
    return bytes;
  }

  std::unique_ptr<TypeSymbolTable> types{makeTypeSymbolTable(&host.values())};
  int32_t bufferSize = 1024;
};

TEST_F(PacketEncodingTest, PlainListsAreTypedByLingoKind) {
  // The symbol leaves no trace; the nested list is an array.
  expectPacket("[\"/a\", [440, 0.5, [1, 2], #foo]]",
               message("/a", "if[ii]").i32(440).f32(0.5f).i32(1).i32(2));
  expectPacket("[\"/kinds\", [VOID, \"text\", <bytes 01 02>, [], [#int32: 5]]]",
               message("/kinds", "Nsb[]").str("text").blob({1, 2}));
  expectPacket("[\"/floats\", [1e39, -1e39, 0.1]]",
               message("/floats", "fff").f32(INFINITY).f32(-INFINITY).f32(0.1f));
}

TEST_F(PacketEncodingTest, PropertyListsForceTheType) {
  expectPacket(
      "[\"/a\", [#int32: 440, #float32: 0.5, #bool: 1, #array: [#int32: 1, #int32: 2], "
      "#nil: 0]]",
      message("/a", "ifT[ii]N").i32(440).f32(0.5f).i32(1).i32(2));
  expectPacket(
      "[\"/all\", [#int32: 7.6, #float32: 2, #string: \"s\", #blob: <bytes 01 02 03>, "
      "#array: [1], #bool: 0, #char: 200, #double: 3, #infinitum: 0, #int64: -2.9, "
      "#midi: 9452671, #nil: 0, #rgba: 4278190335.0, #time: 1]]",
      message("/all", "ifsb[i]FcdIhmNrt")
          .i32(8)
          .f32(2.0f)
          .str("s")
          .blob({1, 2, 3})
          .i32(1)
          .u32(0xFFFFFFC8)
          .f64(3.0)
          .u64(static_cast<uint64_t>(-2))
          .raw({0x00, 0x90, 0x3C, 0x7F})
          .u32(0xFF0000FF)
          .u64(1));
}

TEST_F(PacketEncodingTest, TypeNamesMayBeStringsAndUnknownNamesArePassedOver) {
  expectPacket("[\"/n\", [\"int32\": 1, #int32: 2, #integer: 3, \"INT32\": 4, #char: 65]]",
               message("/n", "iiic").i32(1).i32(2).i32(4).u32(0x41));
  expectPacket("[\"/n\", [#int32: 1, #int32: 1]]", message("/n", "ii").i32(1).i32(1));
}

TEST_F(PacketEncodingTest, ArraysHoldAnyContainerAndNest) {
  expectPacket("[\"/arr\", [#array: [#float32: 1, #array: [\"x\"]], #array: 5, #int32: 9]]",
               message("/arr", "[f[s]][]i").f32(1.0f).str("x").i32(9));
  expectPacket("[\"/arr\", [[[[1]]], []]]", message("/arr", "[[[i]]][]").i32(1));
}

TEST_F(PacketEncodingTest, StringsAndBlobsArePaddedToFourBytes) {
  expectPacket("[\"/s\", [\"\", \"abc\", \"abcd\", \"abcde\"]]",
               message("/s", "ssss").str("").str("abc").str("abcd").str("abcde"));
  expectPacket(
      "[\"/b\", [<bytes>, <bytes 01 02 03>, <bytes 01 02 03 04>, <bytes 01 02 03 04 05>]]",
      message("/b", "bbbb").blob({}).blob({1, 2, 3}).blob({1, 2, 3, 4}).blob({1, 2, 3, 4, 5}));
  expectPacket(
      "[\"/b\", [#blob: <bytes 41 00 42>, #blob: \"abc\", #blob: \"a\\x00b\"]]",
      message("/b", "bbb").blob({0x41, 0x00, 0x42}).blob({'a', 'b', 'c'}).blob({'a', 0, 'b'}));
  expectPacket("[\"\", []]", OscBytes().str("").str(","));
}

TEST_F(PacketEncodingTest, NumbersBeyondTheirRangeSaturateOrBecomeInfinite) {
  expectPacket(
      "[\"/big\", [#int64: 1e300, #int64: -1e300, #int64: NAN, #float32: 1e39, "
      "#time: 1.7e19, #time: 1e40, #midi: 4294967296.5, #rgba: -1]]",
      message("/big", "hhhfttmr")
          .u64(0x7FFFFFFFFFFFFFFFull)
          .u64(0x8000000000000000ull)
          .u64(0)
          .f32(INFINITY)
          .u64(17000000000000000000ull)
          .u64(0xFFFFFFFFFFFFFFFFull)
          .u32(0)
          .u32(0xFFFFFFFF));
}

// Up to half a unit in the last place above FLT_MAX rounds to FLT_MAX;
// 3.4028235e38 is how FLT_MAX is usually printed.
TEST_F(PacketEncodingTest, FloatsJustAboveTheLargestRoundToIt) {
  expectPacket("[\"/max\", [3.4028235e38, -3.4028235e38, 3.4028236e38]]",
               message("/max", "fff").u32(0x7F7FFFFF).u32(0xFF7FFFFF).u32(0x7F800000));
  expectPacket("[\"/max\", [#float32: 3.4028235e38, #float32: -3.4028236e38]]",
               message("/max", "ff").u32(0x7F7FFFFF).u32(0xFF800000));
}

TEST_F(PacketEncodingTest, MessagesWithoutArgumentsHaveALoneComma) {
  expectPacket("[\"/only\"]", message("/only", ""));
  expectPacket("[\"/empty\", []]", message("/empty", ""));
  expectPacket("[\"/empty\", [:], \"ignored\"]", message("/empty", ""));
}

TEST_F(PacketEncodingTest, BundlesNestWithTheirTimeTags) {
  const Bytes a = message("/a", "i").i32(440);
  const Bytes b = message("/b", "d").f64(0.5);
  const Bytes inner = bundleHeader(2).element(b);
  expectPacket("[1, [[\"/a\", [440]], [2.5, [[\"/b\", [#double: 0.5]]]]]]",
               bundleHeader(1).element(a).element(inner));
}

TEST_F(PacketEncodingTest, BundleTimeTagsComeFromIntegersAndFloats) {
  expectPacket("[1]", bundleHeader(1));
  expectPacket("[1, []]", bundleHeader(1));
  expectPacket("[-1]", bundleHeader(0xFFFFFFFFFFFFFFFFull));
  expectPacket("[2.9]", bundleHeader(2));
  expectPacket("[1.6e19]", bundleHeader(16000000000000000000ull));
}

TEST_F(PacketEncodingTest, BundleItemsThatAreNoMessageOrBundleArePassedOver) {
  const Bytes a = message("/a", "").bytes();
  const Bytes inner = bundleHeader(5).element(message("/in", "i").i32(1));
  expectPacket("[1, [[\"/a\"], #sym, [], 7, [:], [#x, [1]], [5, [[\"/in\", [1]]]]]]",
               bundleHeader(1).element(a).element(inner));
}

TEST_F(PacketEncodingTest, APropertyListIsReadByPosition) {
  expectPacket("[#address: \"/p\", #arguments: [1]]", message("/p", "i").i32(1));
}

TEST_F(PacketEncodingTest, ThePacketFitsTheBufferExactlyOrIsNotSent) {
  // "/fit" 8 bytes, ",s" 4 bytes, "abcd" 8 bytes.
  const std::string literal = "[\"/fit\", [\"abcd\"]]";
  bufferSize = 20;
  expectPacket(literal, message("/fit", "s").str("abcd"));
  bufferSize = 19;
  expectNoPacket(literal);
}

// A packet goes out whole or not at all.
TEST_F(PacketEncodingTest, AnIncompletePacketIsNeverSent) {
  bufferSize = 64;
  const std::string large = "\"" + std::string(60, 'x') + "\"";
  expectNoPacket("[\"/a\", [1, " + large + "]]");
  expectNoPacket("[1, [[\"/big\", [" + large + "]], [\"/b\", [1]]]]");
  expectNoPacket("[1, [[\"/b\", [1]], [\"/big\", [" + large + "]]]]");
  expectNoPacket("[1, [[\"/a\", [[1, [" + large + "]]]]]]");
  expectNoPacket("[\"/address-longer-than-the-whole-buffer-of-sixty-four-bytes-yes\"]");
  expectNoPacket("[1, [[2, [[3, [[4, [[\"/deep\"]]]]]]]]]");  // nested headers do not fit
  expectPacket("[1, [[\"/b\", [1]]]]", bundleHeader(1).element(message("/b", "i").i32(1)));
}

TEST_F(PacketEncodingTest, ContainersOfTheWrongKindAreNeverSent) {
  for (const char* literal : {"[\"/a\", 5]", "[\"/a\", \"text\"]", "[\"/a\", VOID]", "[1, 5]",
                              "[1, [:]]", "[1, [[\"/a\", 5]]]", "[1, [[2, 5]]]"}) {
    expectNoPacket(literal);
  }
}

TEST_F(PacketEncodingTest, AListThatIsNeitherMessageNorBundleIsNeverSent) {
  for (const char* literal :
       {"[]", "[#sym]", "[[1]]", "[VOID]", "[<bytes 01>]", "[:]", "5", "\"/a\"", "VOID",
        // read as a bundle by every receiver
        "[\"#a\", [1]]", "[1, [[\"#bundle\", [1]]]]"}) {
    expectNoPacket(literal);
  }
}

TEST_F(PacketEncodingTest, NestingDeeperThan256LevelsIsNeverSent) {
  auto nestedArrays = [&](int depth) {
    HostValue inner = host.makeList({host.makeInteger(1)});
    for (int level = 1; level < depth; ++level) inner = host.makeList({inner});
    return host.own(host.makeList({host.makeString("/deep"), host.makeList({inner})}));
  };
  bufferSize = 4096;
  {
    OwnedValue deepest = nestedArrays(256);
    EXPECT_TRUE(encode(deepest.get()).has_value());
    OwnedValue tooDeep = nestedArrays(257);
    EXPECT_FALSE(encode(tooDeep.get()).has_value());
  }
  {
    HostValue bundle = host.makeList({host.makeInteger(1)});
    for (int level = 1; level < 257; ++level) {
      bundle = host.makeList({host.makeInteger(1), host.makeList({bundle})});
    }
    OwnedValue tooDeep = host.own(bundle);
    EXPECT_FALSE(encode(tooDeep.get()).has_value());
  }
  {
    // A list that holds itself would nest forever.
    OwnedValue self = host.own(host.makeList({host.makeInteger(1)}));
    host.lists().appendToList(self.ptr(), self.ptr());
    OwnedValue selfMessage = host.own(host.makeList({host.makeString("/self")}));
    host.lists().appendToList(selfMessage.ptr(), self.ptr());
    EXPECT_FALSE(encode(selfMessage.get()).has_value());
    host.clearContainer(self.get());
  }
}

}  // namespace
}  // namespace zephyx::send
