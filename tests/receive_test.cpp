// Received datagrams as the script's handler gets them: conversion of every
// type tag in both shapes, arrays and bundle markers. Malformed datagrams
// are in hostile_datagram_test.cpp.
// Datagrams are written out by hand and sent from a raw loopback socket.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"

namespace zephyx {
namespace {

using testsupport::bundleHeader;
using testsupport::Bytes;
using testsupport::OscBytes;

class ReceiveTest : public testsupport::ListeningFixture {
 protected:
  // Sends each datagram, then a closing message, and returns the handler
  // calls before the closing one.
  std::vector<std::string> receive(const std::vector<Bytes>& datagrams) {
    for (const Bytes& datagram : datagrams) sender.send(port, datagram);
    sender.send(port, OscBytes().str("/end").str(","));
    EXPECT_TRUE(testsupport::pumpUntil(host, [&] {
      const auto& recorded = host.scriptContext().calls();
      return !recorded.empty() && recorded.back().text.rfind("\"/end\"", 0) == 0;
    }));
    std::vector<std::string> texts = calls();
    if (!texts.empty()) texts.pop_back();
    host.scriptContext().clearCalls();
    return texts;
  }

  std::string receiveOne(const Bytes& datagram) {
    const std::vector<std::string> texts = receive({datagram});
    EXPECT_EQ(texts.size(), 1u);
    return texts.empty() ? "" : texts.front();
  }

  static OscBytes message(const std::string& address, const std::string& tags) {
    OscBytes bytes;
    bytes.str(address).str("," + tags);
    return bytes;
  }

  // Every value tag once, and S.
  static Bytes everyTag() {
    return message("/all", "ifsbTFcdIhmNrtS")
        .i32(-7)
        .f32(0.5f)
        .str("text")
        .blob({0x41, 0x00, 0x42})
        .i32(0xC8)
        .f64(0.25)
        .u64(static_cast<uint64_t>(-1))
        .raw({0x00, 0x90, 0x3C, 0x7F})
        .raw({0xFF, 0x00, 0x00, 0xFF})
        .u64(1)
        .str("symbol");
  }
};

TEST_F(ReceiveTest, EveryTagAsAList) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(everyTag()),
            "\"/all\", [-7, 0.5, \"text\", <bytes 41 00 42>, 1, 0, -56, 0.25, 0, -1.0, 9452671.0, "
            "0, 4278190335.0, 1.0]");
}

TEST_F(ReceiveTest, EveryTagAsAPropertyList) {
  ASSERT_EQ(listen(true), "1");
  EXPECT_EQ(receiveOne(everyTag()),
            "\"/all\", [#int32: -7, #float32: 0.5, #string: \"text\", #blob: <bytes 41 00 42>, "
            "#bool: 1, #bool: 0, #char: -56, #double: 0.25, #infinitum: 0, #int64: -1.0, "
            "#midi: 9452671.0, #nil: 0, #rgba: 4278190335.0, #time: 1.0]");
}

TEST_F(ReceiveTest, TheWorkedExampleInBothShapes) {
  const Bytes example = message("/ex", "ifT[ii]").i32(440).f32(0.5f).i32(1).i32(2);
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(example), "\"/ex\", [440, 0.5, 1, [1, 2]]");
  ASSERT_EQ(listen(true), "1");
  EXPECT_EQ(receiveOne(example),
            "\"/ex\", [#int32: 440, #float32: 0.5, #bool: 1, #array: [#int32: 1, #int32: 2]]");
}

TEST_F(ReceiveTest, WideNumbersBecomeTheNearestFloat) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/n", "hhtt")
                           .u64((uint64_t{1} << 53) + 1)
                           .u64(static_cast<uint64_t>(-1))
                           .u64(0xED1A2B3C80000000ull)
                           .u64(0x8000000000000000ull)),
            "\"/n\", [9007199254740992.0, -1.0, 17085015675228913664.0, 9223372036854775808.0]")
      << "time tags are unsigned: no negative numbers";
}

TEST_F(ReceiveTest, MessagesWithoutArguments) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/none", "")), "\"/none\", []");
  EXPECT_EQ(receiveOne(OscBytes().str("/no-tags")), "\"/no-tags\", []");
  ASSERT_EQ(listen(true), "1");
  EXPECT_EQ(receiveOne(message("/none", "")), "\"/none\", [:]");
}

TEST_F(ReceiveTest, ArraysNestToAnyDepth) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/a", "[]i[i[s]]i").i32(1).i32(2).str("x").i32(3)),
            "\"/a\", [[], 1, [2, [\"x\"]], 3]");
  const int depth = 1000;
  const std::string deep = std::string(depth, '[') + "i" + std::string(depth, ']');
  const std::string expected = std::string(depth, '[') + "5" + std::string(depth, ']');
  EXPECT_EQ(receiveOne(message("/deep", deep).i32(5)), "\"/deep\", [" + expected + "]");

  ASSERT_EQ(listen(true), "1");
  EXPECT_EQ(receiveOne(message("/a", "[][i[s]]i").i32(2).str("x").i32(3)),
            "\"/a\", [#array: [:], #array: [#int32: 2, #array: [#string: \"x\"]], #int32: 3]");
}

TEST_F(ReceiveTest, SymbolsArePassedOver) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/s", "iSi").i32(1).str("sym").i32(2)), "\"/s\", [1, 2]");
}

TEST_F(ReceiveTest, BlobsAreStringsForOlderHosts) {
  host.appInfo().setVersionText("10.0");
  renew();
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/b", "bb").blob({0x41, 0x00, 0x42}).blob({})),
            "\"/b\", [\"A\\x00B\", \"\"]");
  // A version text that fills the host's whole buffer, without a NUL.
  host.appInfo().setVersionText("11.0 extra text that fills all of the 32 bytes");
  renew();
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(receiveOne(message("/b", "b").blob({0x41})), "\"/b\", [<bytes 41>]");
}

TEST_F(ReceiveTest, BundlesAreFramedByMarkers) {
  ASSERT_EQ(listen(false), "1");
  const Bytes a = message("/a", "i").i32(1);
  const Bytes b = message("/b", "i").i32(2);
  EXPECT_EQ(
      receive({bundleHeader(1).element(a).element(b)}),
      (std::vector<std::string>{"#bundlestart, 1", "\"/a\", [1]", "\"/b\", [2]", "#bundleend, 0"}));
  const Bytes inner = bundleHeader(0x0000000500000007ull).element(b);
  EXPECT_EQ(
      receive({bundleHeader(0x1234567800000000ull).element(a).element(inner).element(a)}),
      (std::vector<std::string>{"#bundlestart, 0", "\"/a\", [1]", "#bundlestart, 7", "\"/b\", [2]",
                                "#bundleend, 0", "\"/a\", [1]", "#bundleend, 0"}));
  EXPECT_EQ(receive({bundleHeader(0xFFFFFFFF80000000ull)}),
            (std::vector<std::string>{"#bundlestart, -2147483648", "#bundleend, 0"}));
}

}  // namespace
}  // namespace zephyx
