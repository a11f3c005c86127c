// Exchanges with an independent OSC implementation: liblo's command-line
// tools and a liblo server in Python. oscdump shows how liblo decodes what
// `send` writes; oscsend writes packets that the listening instance must
// decode; the Python server answers to the port it heard from. Expected
// lines are exactly as oscdump prints them, after its receive time stamp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/lingo_session.h"
#include "tests/support/listening_session.h"
#include "tests/support/oscdump_line.h"
#include "tests/support/udp_loopback.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;
using testsupport::ChildProcess;
using Lines = std::vector<std::string>;

constexpr milliseconds PeerDeadline(5000);

using testsupport::withoutTimeStamp;

bool isProbe(const std::string& text) { return text.rfind("/probe ", 0) == 0; }

class InteropOscdumpTest : public testsupport::LingoSessionFixture {
 protected:
  void SetUp() override {
    LingoSessionFixture::SetUp();
    ASSERT_NO_FATAL_FAILURE(startDump());
  }

  void TearDown() override {
    dump.reset();
    LingoSessionFixture::TearDown();
  }

  // Starts oscdump on a free port, aims the instance at it and waits until
  // it shows a probe: oscdump gives no other sign that it is listening.
  void startDump() {
    for (int attempt = 0; attempt < 5; ++attempt) {
      dumpPort = testsupport::freeUdpPort();
      dump = std::make_unique<ChildProcess>(Lines{"oscdump", "-L", std::to_string(dumpPort)});
      ASSERT_TRUE(dump->started()) << dump->startError();
      call("setDestination", {"\"127.0.0.1\"", std::to_string(dumpPort)});
      const auto end = std::chrono::steady_clock::now() + PeerDeadline;
      while (std::chrono::steady_clock::now() < end && !dump->outputEnded()) {
        // Probes sent before oscdump bound its port are lost without a
        // trace; only oscdump's line tells, so the answer is not checked.
        call("send", {"[\"/probe\"]"});
        if (auto line = dump->readLine(milliseconds(100));
            line && isProbe(withoutTimeStamp(*line))) {
          return;
        }
      }
      // Ended early: another process took the port in between. Try another.
      if (!dump->outputEnded()) break;
    }
    FAIL() << "oscdump never showed a probe; its output:\n" << dump->transcript();
  }

  // Sends each literal, then a closing message, and returns what oscdump
  // showed before the closing message, stray probes left out.
  Lines shown(const std::vector<std::string>& literals) {
    for (const std::string& literal : literals) EXPECT_EQ(call("send", {literal}), "1") << literal;
    EXPECT_EQ(call("send", {"[\"/end\"]"}), "1");
    Lines texts;
    const auto end = std::chrono::steady_clock::now() + PeerDeadline;
    while (std::chrono::steady_clock::now() < end) {
      auto line = dump->readLine(milliseconds(100));
      if (!line) {
        if (dump->outputEnded()) break;
        continue;
      }
      const std::string text = withoutTimeStamp(*line);
      if (text == "/end ") return texts;
      if (!isProbe(text)) texts.push_back(text);
    }
    ADD_FAILURE() << "oscdump never showed /end; its output:\n" << dump->transcript();
    return texts;
  }

  std::unique_ptr<ChildProcess> dump;
  int dumpPort = 0;
};

TEST_F(InteropOscdumpTest, MessagesShowTheirTypesAndValues) {
  EXPECT_EQ(
      shown({"[\"/synth/freq\", [#float32: 440.0, #int32: 1]]",
             "[\"/plain\", [7, -2.5, \"two words\"]]", "[\"/bare\"]"}),
      (Lines{"/synth/freq fi 440.000000 1", "/plain ifs 7 -2.500000 \"two words\"", "/bare "}));
}

TEST_F(InteropOscdumpTest, AnImmediateBundleShowsEachOfItsMessages) {
  EXPECT_EQ(shown({"[1, [[\"/a\", [1, \"x\"]], [\"/b\", [#double: 0.5, #int64: 5, #char: 65, "
                   "#midi: 9452671, #bool: 1, #bool: 0, #nil: 0, #infinitum: 0, #time: 1, "
                   "#blob: <bytes 01 02 03>, #string: \"s\"]]]]"}),
            (Lines{"/a is 1 \"x\"",
                   "/b dhcmTFNItbs 0.500000 5 'A' MIDI [0x00 0x90 0x3c 0x7f] #T #F Nil Infinitum "
                   "00000000.00000001 [3b 0x1 0x2 0x3] \"s\""}));
}

TEST_F(InteropOscdumpTest, NestedBundlesKeepTheOrderOfTheirMessages) {
  EXPECT_EQ(shown({"[1, [[\"/n1\", [1]], [1, [[\"/n2\", [2]], [1, [[\"/n3\", [3]]]]]], "
                   "[\"/n4\", [4]]]]"}),
            (Lines{"/n1 i 1", "/n2 i 2", "/n3 i 3", "/n4 i 4"}));
}

// oscdump binds every address, as a peer on the network would: a send to
// the loopback network's broadcast address reaches it too.
TEST_F(InteropOscdumpTest, ABroadcastOnTheLoopbackNetworkReachesIt) {
  call("setDestination", {"\"127.255.255.255\"", std::to_string(dumpPort)});
  EXPECT_EQ(shown({"[\"/all\", [1]]"}), (Lines{"/all i 1"}));
}

class InteropOscsendTest : public testsupport::ListeningFixture {
 protected:
  // Runs oscsend to completion against the listening port.
  void oscsend(const Lines& message) {
    Lines argv = {"oscsend", "127.0.0.1", std::to_string(port)};
    argv.insert(argv.end(), message.begin(), message.end());
    ChildProcess peer(argv);
    ASSERT_TRUE(peer.started()) << peer.startError();
    const std::optional<int> exitCode = peer.waitForExit(PeerDeadline);
    ASSERT_TRUE(exitCode.has_value()) << peer.commandLine() << " did not end";
    ASSERT_EQ(*exitCode, 0) << peer.commandLine() << "\n" << peer.transcript();
  }

  // Every type oscsend can send, S included, with values that tell a 32-bit
  // float from a double and an unsigned MIDI word from a signed one.
  static Lines everyType() {
    return {"/x",  "ihfdsScmTFNI", "-5",  "-6000000001", "0.1",
            "0.1", "hello world",  "sym", "x",           "ff000001"};
  }
  static Lines extremes() {
    return {"/ext", "iih", "2147483647", "-2147483648", "9223372036854775807"};
  }
};

TEST_F(InteropOscsendTest, EveryTypeArrivesAsAList) {
  ASSERT_EQ(listen(false), "1");
  ASSERT_NO_FATAL_FAILURE(oscsend(everyType()));
  ASSERT_NO_FATAL_FAILURE(oscsend(extremes()));
  ASSERT_NO_FATAL_FAILURE(oscsend({"/none"}));
  ASSERT_TRUE(pumpForCalls(3)) << calls().size();
  EXPECT_EQ(calls(),
            (Lines{"\"/x\", [-5, -6000000001.0, 0.10000000149011612, 0.1, \"hello world\", 120, "
                   "4278190081.0, 1, 0, 0, 0]",
                   "\"/ext\", [2147483647, -2147483648, 9223372036854775808.0]", "\"/none\", []"}));
}

TEST_F(InteropOscsendTest, EveryTypeArrivesAsAPropertyList) {
  ASSERT_EQ(listen(true), "1");
  ASSERT_NO_FATAL_FAILURE(oscsend(everyType()));
  ASSERT_NO_FATAL_FAILURE(oscsend(extremes()));
  ASSERT_NO_FATAL_FAILURE(oscsend({"/none"}));
  ASSERT_TRUE(pumpForCalls(3)) << calls().size();
  EXPECT_EQ(calls(),
            (Lines{"\"/x\", [#int32: -5, #int64: -6000000001.0, #float32: 0.10000000149011612, "
                   "#double: 0.1, #string: \"hello world\", #char: 120, #midi: 4278190081.0, "
                   "#bool: 1, #bool: 0, #nil: 0, #infinitum: 0]",
                   "\"/ext\", [#int32: 2147483647, #int32: -2147483648, "
                   "#int64: 9223372036854775808.0]",
                   "\"/none\", [:]"}));
}

// The liblo server of liblo_peer.py (Debian python3-liblo): it answers
// /ping with /pong from its own port, and prints each message it receives
// with the port it came from.
class InteropLibloPeerTest : public testsupport::ListeningFixture {
 protected:
  void SetUp() override {
    ListeningFixture::SetUp();
    peer = std::make_unique<ChildProcess>(Lines{"/usr/bin/python3", ZEPHYX_LIBLO_PEER, "60"});
    std::optional<std::string> first;
    if (peer->started()) first = peer->readLine(PeerDeadline);
    if (!peer->started() || (first && first->rfind("no liblo module", 0) == 0)) {
      GTEST_SKIP() << "/usr/bin/python3 cannot import liblo (apt-get install python3-liblo): "
                   << (peer->started() ? *first : peer->startError());
    }
    ASSERT_TRUE(first && first->rfind("port ", 0) == 0) << peer->transcript();
    peerPort = std::stoi(first->substr(5));
    call("setDestination", {"\"127.0.0.1\"", std::to_string(peerPort)});
  }

  void TearDown() override {
    peer.reset();
    ListeningFixture::TearDown();
  }

  // The peer's next line about a message, or "" when none comes in time.
  std::string nextReport() {
    std::optional<std::string> line = peer->readLine(PeerDeadline);
    return line ? *line : "";
  }
  std::string from(int sourcePort) const { return " from 127.0.0.1:" + std::to_string(sourcePort); }

  std::unique_ptr<ChildProcess> peer;
  int peerPort = 0;
};

TEST_F(InteropLibloPeerTest, AnswersComeBackToTheListeningPortOnlyWhenSentFromIt) {
  ASSERT_EQ(listen(false), "1");
  std::vector<std::string> senders;
  std::string replied;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    senders.push_back(call("lastSender"));
    replied = call("reply", {"[\"/answer\", [2]]"});
    return StatusOk;
  });
  const std::string peerAddress = "[\"127.0.0.1\", " + std::to_string(peerPort) + "]";

  // A ping from the listening port: the pong comes back to it, from the
  // peer's port, and the handler answers it with a reply.
  EXPECT_EQ(call("sendFromListener", {"[\"/ping\", [1]]"}), "1");
  ASSERT_TRUE(pumpForCalls(1)) << peer->transcript();
  EXPECT_EQ(calls(), (Lines{"\"/pong\", [1]"}));
  EXPECT_EQ(senders, (Lines{peerAddress}));
  EXPECT_EQ(call("lastSender"), peerAddress) << "after the handler";
  EXPECT_EQ(nextReport(), "/ping i 1" + from(port));

  // The reply reached the peer from the listening port.
  EXPECT_EQ(replied, "1");
  EXPECT_EQ(nextReport(), "/answer i 2" + from(port));

  // A plain send leaves from a socket of its own: the peer answers
  // there, and nothing comes back to the listener.
  EXPECT_EQ(call("send", {"[\"/ping\", [3]]"}), "1");
  const std::string report = nextReport();
  ASSERT_EQ(report.rfind("/ping i 3 from 127.0.0.1:", 0), 0u) << peer->transcript();
  EXPECT_NE(report, "/ping i 3" + from(port));
  EXPECT_FALSE(testsupport::pumpUntil(
      host, [&] { return host.scriptContext().calls().size() > 1; }, milliseconds(300)))
      << calls().back();
}

// liblo sends a datagram seven times the size of the old limit of 4096
// bytes; it arrives whole.
TEST_F(InteropLibloPeerTest, ABlobOfThirtyThousandBytesArrivesWhole) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(call("sendFromListener", {"[\"/blob\", [30000]]"}), "1");
  ASSERT_TRUE(pumpForCalls(1)) << peer->transcript();
  std::string bytes = "<bytes";
  char hex[4];
  for (int i = 0; i < 30000; ++i) {
    std::snprintf(hex, sizeof hex, " %02x", i % 251);
    bytes += hex;
  }
  EXPECT_EQ(calls().front(), "\"/blob\", [" + bytes + ">]");
}

}  // namespace
}  // namespace zephyx
