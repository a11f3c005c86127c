// Streams against independent OSC implementations over TCP: liblo's oscdump
// and a liblo server that answers (length framing, as OSC 1.0 and ETC's
// consoles on port 3032 frame packets), and osc.js's TCPSocketPort (SLIP,
// as OSC 1.1 does), which also goes away and comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/lingo_session.h"
#include "tests/support/oscdump_line.h"
#include "tests/support/udp_loopback.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;
using testsupport::ChildProcess;
using Lines = std::vector<std::string>;

constexpr milliseconds PeerDeadline(10000);
const std::string Opened = "#streamopen, 0";

class InteropStreamTest : public testsupport::LingoSessionFixture {
 protected:
  void TearDown() override {
    if (object) call("disconnectStream");
    peer.reset();
    LingoSessionFixture::TearDown();
  }

  // Starts a peer that prints "port N" first, and returns N (0 on failure).
  int startPeer(const Lines& argv) {
    peer = std::make_unique<ChildProcess>(argv);
    if (!peer->started()) return 0;
    const std::optional<std::string> first = peer->readLine(PeerDeadline);
    if (!first || first->rfind("port ", 0) != 0) return 0;
    return std::stoi(first->substr(5));
  }

  std::string connect(int port, const std::string& framing) {
    return call("connectStream", {"\"127.0.0.1\"", std::to_string(port), framing, "#onStream"});
  }

  Lines calls() const {
    Lines texts;
    for (const auto& recorded : host.scriptContext().calls()) texts.push_back(recorded.text);
    return texts;
  }
  // Pumps until the handler's last call is `text`.
  bool pumpUntilLast(const std::string& text) {
    return testsupport::pumpUntil(
        host, [&] { return !calls().empty() && calls().back() == text; }, PeerDeadline);
  }

  // The peer's lines up to and including `last`, those that `keep` accepts.
  Lines peerLinesUntil(
      const std::string& last,
      bool (*keep)(const std::string&) = [](const std::string&) { return true; }) {
    Lines lines;
    const auto end = std::chrono::steady_clock::now() + PeerDeadline;
    while (std::chrono::steady_clock::now() < end && !peer->outputEnded()) {
      const std::optional<std::string> line = peer->readLine(milliseconds(100));
      if (!line) continue;
      if (keep(*line)) lines.push_back(*line);
      if (*line == last) return lines;
    }
    ADD_FAILURE() << "the peer never printed " << last << "; it printed:\n" << peer->transcript();
    return lines;
  }

  std::unique_ptr<ChildProcess> peer;
};

using testsupport::withoutTimeStamp;

TEST_F(InteropStreamTest, LiblosDumpReadsWhatALengthFramedStreamSends) {
  const int port = testsupport::freeUdpPort();
  peer =
      std::make_unique<ChildProcess>(Lines{"oscdump", "-L", "osc.tcp://:" + std::to_string(port)});
  ASSERT_TRUE(peer->started()) << peer->startError();
  // oscdump says nothing when it listens: the stream connects again until
  // it does.
  ASSERT_EQ(connect(port, "#length"), "1");
  ASSERT_TRUE(pumpUntilLast(Opened)) << peer->transcript();
  EXPECT_EQ(call("sendStream", {"[\"/synth/freq\", [#float32: 440.0, #int32: 1]]"}), "1");
  EXPECT_EQ(call("sendStream", {"[1, [[\"/a\", [1, \"x\"]], [\"/b\", [#double: 0.5]]]]"}), "1");
  EXPECT_EQ(call("sendStream", {"[\"/end\"]"}), "1");
  Lines shown;
  const auto end = std::chrono::steady_clock::now() + PeerDeadline;
  while (std::chrono::steady_clock::now() < end && (shown.empty() || shown.back() != "/end ")) {
    if (const auto line = peer->readLine(milliseconds(100)))
      shown.push_back(withoutTimeStamp(*line));
  }
  EXPECT_EQ(shown,
            (Lines{"/synth/freq fi 440.000000 1", "/a is 1 \"x\"", "/b d 0.500000", "/end "}))
      << peer->transcript();
}

TEST_F(InteropStreamTest, ALibloServerAnswersOverTheSameConnection) {
  const int port = startPeer({"/usr/bin/python3", ZEPHYX_STREAM_PEER_LIBLO, "length", "60"});
  ASSERT_NE(port, 0) << peer->transcript();
  ASSERT_EQ(connect(port, "#length"), "1");
  ASSERT_TRUE(pumpUntilLast(Opened));
  EXPECT_EQ(call("sendStream", {"[\"/ping\", [7, \"seven\", 0.5]]"}), "1");
  ASSERT_TRUE(pumpUntilLast("\"/pong\", [7, \"seven\", 0.5]")) << peer->transcript();
  EXPECT_EQ(peerLinesUntil("/ping isf 7 \"seven\" 0.5"), Lines{"/ping isf 7 \"seven\" 0.5"});
}

bool notConnectionLine(const std::string& line) {
  return line.rfind("open ", 0) != 0 && line.rfind("close ", 0) != 0;
}

TEST_F(InteropStreamTest, OscJsExchangesMessagesAndBundlesOverSlipAndComesBackAfterARestart) {
  const int port = startPeer({"node", ZEPHYX_OSCJS_STREAM_PEER, "slip", "60"});
  ASSERT_NE(port, 0) << (peer ? peer->transcript() : "") << " (npm ci in tests/peers?)";
  ASSERT_EQ(connect(port, "#slip"), "1");
  ASSERT_TRUE(pumpUntilLast(Opened));

  // A bundle first, then a message, each read by osc.js.
  EXPECT_EQ(
      call("sendStream", {"[1, [[\"/a\", [1, \"x\"]], [1, [[\"/b\", [#blob: <bytes c0 db>]]]]]]"}),
      "1");
  EXPECT_EQ(call("sendStream", {"[\"/plain\", [2.5]]"}), "1");
  EXPECT_EQ(peerLinesUntil("/plain f 2.5", notConnectionLine),
            (Lines{"#bundle 00000000.00000001", "/a is 1 \"x\"", "#bundle 00000000.00000001",
                   "/b b <c0 db>", "#end", "#end", "/plain f 2.5"}));

  // What osc.js sends back: a message and a bundle.
  EXPECT_EQ(call("sendStream", {"[\"/ping\", [3]]"}), "1");
  ASSERT_TRUE(pumpUntilLast("\"/pong\", [3]"));
  EXPECT_EQ(call("sendStream", {"[\"/bundle\", [\"b\"]]"}), "1");
  ASSERT_TRUE(pumpUntilLast("#bundleend, 0"));
  const Lines received = calls();
  ASSERT_GE(received.size(), 4u);
  EXPECT_EQ(Lines(received.end() - 4, received.end()),
            (Lines{"#bundlestart, 1", "\"/one\", [\"b\"]", "\"/two\", [\"b\"]", "#bundleend, 0"}));

  // The peer closes and listens again a second later; the stream follows.
  host.scriptContext().clearCalls();
  EXPECT_EQ(call("sendStream", {"[\"/restart\", [1000]]"}), "1");
  ASSERT_TRUE(pumpUntilLast(Opened)) << peer->transcript();
  const Lines seen = calls();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front(), "#streamclosed, \"closed by the peer\"");
  for (size_t i = 1; i + 1 < seen.size(); ++i) {
    EXPECT_EQ(seen[i], "#streamclosed, \"connection refused\"");
  }
  EXPECT_EQ(call("sendStream", {"[\"/ping\", [4]]"}), "1");
  EXPECT_TRUE(pumpUntilLast("\"/pong\", [4]"));
}

}  // namespace
}  // namespace zephyx
