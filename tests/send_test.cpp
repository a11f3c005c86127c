// `send` and `setDestination` through the loaded library, end to end: the
// datagrams are caught on a loopback socket of the test's own. Encoding
// itself is tested without a socket in packet_encoding_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/lingo_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"

namespace zephyx {
namespace {

using testsupport::bundleHeader;
using testsupport::Bytes;
using testsupport::hex;
using testsupport::OscBytes;

class SendTest : public testsupport::LingoSessionFixture {
 protected:
  void SetUp() override {
    LingoSessionFixture::SetUp();
    aimAtCapture();
  }

  void aimAtCapture() { call("setDestination", {"\"127.0.0.1\"", std::to_string(capture.port())}); }

  // Sends the literal and expects exactly `expected` on the wire, once.
  void expectSent(const std::string& literal, const Bytes& expected) {
    ASSERT_EQ(call("send", {literal}), "1") << literal;
    auto datagram = capture.receive();
    ASSERT_TRUE(datagram.has_value()) << literal;
    EXPECT_EQ(hex(*datagram), hex(expected)) << literal;
    expectSentinelNext(literal);
  }

  // Sends the literal and expects the answer 0 and nothing on the wire.
  void expectNothingSent(const std::string& literal) {
    EXPECT_EQ(call("send", {literal}), "0") << literal;
    expectSentinelNext(literal);
  }

  // A sentinel sent now from a socket of the test's own is the next
  // datagram to arrive: nothing came before it.
  void expectSentinelNext(const std::string& literal) {
    sentinelSender.send(capture.port(), message("/sentinel", ""));
    auto next = capture.receive();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(hex(*next), hex(message("/sentinel", ""))) << "after " << literal;
  }

  static OscBytes message(const std::string& address, const std::string& tags) {
    OscBytes bytes;
    bytes.str(address).str("," + tags);
    return bytes;
  }

  testsupport::UdpCapture capture;
  testsupport::UdpSender sentinelSender;
};

TEST_F(SendTest, ThePacketGoesOutAsEncoded) {
  expectSent("[\"/a\", [440, 0.5, [1, 2], #foo]]",
             message("/a", "if[ii]").i32(440).f32(0.5f).i32(1).i32(2));
  const Bytes b = message("/b", "d").f64(0.5);
  expectSent("[1, [[2.5, [[\"/b\", [#double: 0.5]]]]]]",
             bundleHeader(1).element(bundleHeader(2).element(b)));
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

TEST_F(SendTest, DestinationsTakeEffectAtTheNextSendAndResolveNames) {
  testsupport::UdpCapture other;
  call("setDestination", {"\"localhost\"", std::to_string(other.port())});
  EXPECT_EQ(call("send", {"[\"/other\"]"}), "1");
  auto datagram = other.receive();
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(hex(*datagram), hex(message("/other", "")));
  expectSentinelNext("[\"/other\"]");
}

TEST_F(SendTest, EverySendUsesAFreshSocket) {
  ASSERT_EQ(call("send", {"[\"/one\"]"}), "1");
  ASSERT_TRUE(capture.receive().has_value());
  const int first = capture.lastSourcePort();
  ASSERT_EQ(call("send", {"[\"/two\"]"}), "1");
  ASSERT_TRUE(capture.receive().has_value());
  EXPECT_NE(capture.lastSourcePort(), first);
}

}  // namespace
}  // namespace zephyx
