// `send` and `setDestination` through the loaded library: every datagram is
// caught on a loopback socket of the test's own and compared byte for byte
// with a packet written out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/lingo_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"

namespace {

using testsupport::Bytes;
using testsupport::bundleHeader;
using testsupport::hex;
using testsupport::OscBytes;

class SendTest : public testsupport::LingoSessionFixture {
 protected:
  void SetUp() override {
    LingoSessionFixture::SetUp();
    aimAtCapture();
  }

  void aimAtCapture() {
    call("setDestination", {"\"127.0.0.1\"", std::to_string(capture.port())});
  }

  // Sends the literal and expects exactly `expected` on the wire.
  void expectSent(const std::string& literal, const Bytes& expected) {
    ASSERT_EQ(call("send", {literal}), "1") << literal;
    auto datagram = capture.receive();
    ASSERT_TRUE(datagram.has_value()) << literal;
    EXPECT_EQ(hex(*datagram), hex(expected)) << literal;
    EXPECT_TRUE(capture.quiet(std::chrono::milliseconds(20))) << "one datagram per send";
  }

  // Sends the literal and expects the answer 0 and nothing on the wire.
  void expectNothingSent(const std::string& literal) {
    EXPECT_EQ(call("send", {literal}), "0") << literal;
    EXPECT_TRUE(capture.quiet(std::chrono::milliseconds(50))) << literal;
  }

  static OscBytes message(const std::string& address, const std::string& tags) {
    OscBytes bytes;
    bytes.str(address).str("," + tags);
    return bytes;
  }

  testsupport::UdpCapture capture;
};

TEST_F(SendTest, PlainListsAreTypedByLingoKind) {
  // The symbol leaves no trace; the nested list is an array.
  expectSent("[\"/a\", [440, 0.5, [1, 2], #foo]]",
             message("/a", "if[ii]").i32(440).f32(0.5f).i32(1).i32(2));
  expectSent("[\"/kinds\", [VOID, \"text\", <bytes 01 02>, [], [#int32: 5]]]",
             message("/kinds", "Nsb[]").str("text").blob({1, 2}));
  expectSent("[\"/floats\", [1e39, -1e39, 0.1]]",
             message("/floats", "fff").f32(INFINITY).f32(-INFINITY).f32(0.1f));
}

TEST_F(SendTest, PropertyListsForceTheType) {
  expectSent("[\"/a\", [#int32: 440, #float32: 0.5, #bool: 1, #array: [#int32: 1, #int32: 2], "
             "#nil: 0]]",
             message("/a", "ifT[ii]N").i32(440).f32(0.5f).i32(1).i32(2));
  expectSent("[\"/all\", [#int32: 7.6, #float32: 2, #string: \"s\", #blob: <bytes 01 02 03>, "
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

TEST_F(SendTest, TypeNamesMayBeStringsAndUnknownNamesArePassedOver) {
  expectSent("[\"/n\", [\"int32\": 1, #int32: 2, #integer: 3, \"INT32\": 4, #char: 65]]",
             message("/n", "iiic").i32(1).i32(2).i32(4).u32(0x41));
  expectSent("[\"/n\", [#int32: 1, #int32: 1]]", message("/n", "ii").i32(1).i32(1));
}

TEST_F(SendTest, ArraysHoldAnyContainerAndNest) {
  expectSent("[\"/arr\", [#array: [#float32: 1, #array: [\"x\"]], #array: 5, #int32: 9]]",
             message("/arr", "[f[s]][]i").f32(1.0f).str("x").i32(9));
  expectSent("[\"/arr\", [[[[1]]], []]]", message("/arr", "[[[i]]][]").i32(1));
}

TEST_F(SendTest, StringsAndBlobsArePaddedToFourBytes) {
  expectSent("[\"/s\", [\"\", \"abc\", \"abcd\", \"abcde\"]]",
             message("/s", "ssss").str("").str("abc").str("abcd").str("abcde"));
  expectSent("[\"/b\", [<bytes>, <bytes 01 02 03>, <bytes 01 02 03 04>, <bytes 01 02 03 04 05>]]",
             message("/b", "bbbb").blob({}).blob({1, 2, 3}).blob({1, 2, 3, 4}).blob({1, 2, 3, 4, 5}));
  expectSent("[\"/b\", [#blob: <bytes 41 00 42>, #blob: \"abc\", #blob: \"a\\x00b\"]]",
             message("/b", "bbb").blob({0x41, 0x00, 0x42}).blob({'a', 'b', 'c'}).blob({'a', 0, 'b'}));
  expectSent("[\"\", []]", OscBytes().str("").str(","));
}

TEST_F(SendTest, NumbersBeyondTheirRangeSaturateOrBecomeInfinite) {
  expectSent("[\"/big\", [#int64: 1e300, #int64: -1e300, #int64: NAN, #float32: 1e39, "
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

TEST_F(SendTest, MessagesWithoutArgumentsHaveALoneComma) {
  expectSent("[\"/only\"]", message("/only", ""));
  expectSent("[\"/empty\", []]", message("/empty", ""));
  expectSent("[\"/empty\", [:], \"ignored\"]", message("/empty", ""));
}

TEST_F(SendTest, BundlesNestWithTheirTimeTags) {
  const Bytes a = message("/a", "i").i32(440);
  const Bytes b = message("/b", "d").f64(0.5);
  const Bytes inner = bundleHeader(2).element(b);
  expectSent("[1, [[\"/a\", [440]], [2.5, [[\"/b\", [#double: 0.5]]]]]]",
             bundleHeader(1).element(a).element(inner));
}

TEST_F(SendTest, BundleTimeTagsComeFromIntegersAndFloats) {
  expectSent("[1]", bundleHeader(1));
  expectSent("[1, []]", bundleHeader(1));
  expectSent("[-1]", bundleHeader(0xFFFFFFFFFFFFFFFFull));
  expectSent("[2.9]", bundleHeader(2));
  expectSent("[1.6e19]", bundleHeader(16000000000000000000ull));
}

TEST_F(SendTest, BundleItemsThatAreNoMessageOrBundleArePassedOver) {
  const Bytes a = message("/a", "").bytes();
  const Bytes inner = bundleHeader(5).element(message("/in", "i").i32(1));
  expectSent("[1, [[\"/a\"], #sym, [], 7, [:], [#x, [1]], [5, [[\"/in\", [1]]]]]]",
             bundleHeader(1).element(a).element(inner));
}

TEST_F(SendTest, APropertyListIsReadByPosition) {
  expectSent("[#address: \"/p\", #arguments: [1]]", message("/p", "i").i32(1));
}

TEST_F(SendTest, ThePacketFitsTheBufferExactlyOrIsNotSent) {
  // "/fit" 8 bytes, ",s" 4 bytes, "abcd" 8 bytes.
  const std::string literal = "[\"/fit\", [\"abcd\"]]";
  renew({"20"});
  aimAtCapture();
  expectSent(literal, message("/fit", "s").str("abcd"));
  renew({"19"});
  aimAtCapture();
  expectNothingSent(literal);
}

// A packet goes out whole or not at all.
TEST_F(SendTest, AnIncompletePacketIsNeverSent) {
  renew({"64"});
  aimAtCapture();
  const std::string large = "\"" + std::string(60, 'x') + "\"";
  expectNothingSent("[\"/a\", [1, " + large + "]]");
  expectNothingSent("[1, [[\"/big\", [" + large + "]], [\"/b\", [1]]]]");
  expectNothingSent("[1, [[\"/b\", [1]], [\"/big\", [" + large + "]]]]");
  expectNothingSent("[1, [[\"/a\", [[1, [" + large + "]]]]]]");
  expectNothingSent("[\"/address-longer-than-the-whole-buffer-of-sixty-four-bytes-yes\"]");
  expectNothingSent("[1, [[2, [[3, [[4, [[\"/deep\"]]]]]]]]]");  // nested headers do not fit
  expectSent("[1, [[\"/b\", [1]]]]", bundleHeader(1).element(message("/b", "i").i32(1)));
}

TEST_F(SendTest, ContainersOfTheWrongKindAreNeverSent) {
  for (const char* literal : {"[\"/a\", 5]", "[\"/a\", \"text\"]", "[\"/a\", VOID]",
                              "[1, 5]", "[1, [:]]", "[1, [[\"/a\", 5]]]",
                              "[1, [[2, 5]]]"}) {
    expectNothingSent(literal);
  }
}

TEST_F(SendTest, AListThatIsNeitherMessageNorBundleIsNeverSent) {
  for (const char* literal : {"[]", "[#sym]", "[[1]]", "[VOID]", "[<bytes 01>]", "[:]", "5",
                              "\"/a\"", "VOID",
                              // read as a bundle by every receiver
                              "[\"#a\", [1]]", "[1, [[\"#bundle\", [1]]]]"}) {
    expectNothingSent(literal);
  }
}

TEST_F(SendTest, NestingDeeperThan256LevelsIsNeverSent) {
  auto nestedArrays = [&](int depth) {
    HostValue inner = host.makeList({host.makeInteger(1)});
    for (int level = 1; level < depth; ++level) inner = host.makeList({inner});
    return host.own(host.makeList({host.makeString("/deep"), host.makeList({inner})}));
  };
  renew({"4096"});
  aimAtCapture();
  {
    OwnedValue deepest = nestedArrays(256);
    EXPECT_EQ(format(object->call("send", {deepest.get()})), "1");
    EXPECT_TRUE(capture.receive().has_value());
    OwnedValue tooDeep = nestedArrays(257);
    EXPECT_EQ(format(object->call("send", {tooDeep.get()})), "0");
  }
  {
    HostValue bundle = host.makeList({host.makeInteger(1)});
    for (int level = 1; level < 257; ++level) {
      bundle = host.makeList({host.makeInteger(1), host.makeList({bundle})});
    }
    OwnedValue tooDeep = host.own(bundle);
    EXPECT_EQ(format(object->call("send", {tooDeep.get()})), "0");
  }
  {
    // A list that holds itself would nest forever.
    OwnedValue self = host.own(host.makeList({host.makeInteger(1)}));
    host.lists().appendToList(self.ptr(), self.ptr());
    OwnedValue selfMessage = host.own(host.makeList({host.makeString("/self")}));
    host.lists().appendToList(selfMessage.ptr(), self.ptr());
    EXPECT_EQ(format(object->call("send", {selfMessage.get()})), "0");
    host.clearContainer(self.get());
  }
  EXPECT_TRUE(capture.quiet(std::chrono::milliseconds(50)));
}

TEST_F(SendTest, BufferSizesOfZeroOrLessSendNothing) {
  for (const char* size : {"0", "-1", "-2147483648"}) {
    renew({size});
    aimAtCapture();
    const int64_t blocks = host.memory().allocationCount();
    expectNothingSent("[\"/a\"]");
    EXPECT_EQ(host.memory().allocationCount(), blocks) << "no buffer was allocated";
  }
}

TEST_F(SendTest, NoDatagramLargerThanUdpCarries) {
  renew({"1000000"});
  aimAtCapture();
  const std::string fits = "\"" + std::string(65000, 'x') + "\"";
  const std::string tooLarge = "\"" + std::string(65600, 'x') + "\"";
  EXPECT_EQ(call("send", {"[\"/a\", [" + fits + "]]"}), "1");
  auto datagram = capture.receive();
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(datagram->size(), 4u + 4u + 65004u);
  expectNothingSent("[\"/a\", [" + tooLarge + "]]");
}

TEST_F(SendTest, ABufferThatCannotBeAllocatedSendsNothing) {
  host.memory().failNextAllocations(1);
  expectNothingSent("[\"/a\"]");
  expectSent("[\"/a\"]", message("/a", ""));
}

TEST_F(SendTest, BadDestinationsSendNothing) {
  const std::string port = std::to_string(capture.port());
  for (const std::vector<std::string>& destination :
       {std::vector<std::string>{"\"no-such-host.invalid\"", port},
        {"\"0.0.0.0\"", port},
        {"\"\"", port},
        {"\"127.0.0.1\"", "0"},
        {"\"127.0.0.1\"", "-1"},
        {"\"127.0.0.1\"", "70000"},
        {"\"127.0.0.1\"", std::to_string(65536 + capture.port())}}) {
    call("setDestination", destination);
    expectNothingSent("[\"/a\"]");
  }
}

TEST_F(SendTest, DestinationsTakeEffectAtTheNextSendAndResolveNames) {
  testsupport::UdpCapture other;
  call("setDestination", {"\"localhost\"", std::to_string(other.port())});
  EXPECT_EQ(call("send", {"[\"/other\"]"}), "1");
  auto datagram = other.receive();
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(hex(*datagram), hex(message("/other", "")));
  EXPECT_TRUE(capture.quiet(std::chrono::milliseconds(20)));
}

TEST_F(SendTest, MissingArgumentsChangeNothing) {
  EXPECT_EQ(call("send"), "0");
  call("setDestination");
  call("setDestination", {"\"localhost\""});  // the port stays
  expectSent("[\"/still\"]", message("/still", ""));
}

TEST_F(SendTest, EverySendUsesAFreshSocket) {
  expectSent("[\"/one\"]", message("/one", ""));
  const int first = capture.lastSourcePort();
  expectSent("[\"/two\"]", message("/two", ""));
  EXPECT_NE(capture.lastSourcePort(), first);
}

}  // namespace
