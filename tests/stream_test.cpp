// OSC over TCP through the loaded library, against a peer of the test's
// own on 127.0.0.1 that writes and reads raw bytes: packets both ways in
// both framings, hostile peers, a peer that goes away and comes back, and
// one that stops reading. The frames are built here by hand, so that the
// bytes on the wire are checked against the framings themselves.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/host_ids.h"
#include "tests/support/lingo_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/tcp_peer.h"

namespace zephyx {
namespace {

using std::chrono::milliseconds;
using testsupport::Bytes;
using testsupport::OscBytes;
using testsupport::TcpPeer;
using Lines = std::vector<std::string>;

enum class Framing { Length, Slip };

Bytes framed(Framing framing, const Bytes& packet) {
  Bytes out;
  if (framing == Framing::Length) {
    const auto size = static_cast<uint32_t>(packet.size());
    out = {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
           static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
    out.insert(out.end(), packet.begin(), packet.end());
    return out;
  }
  out.push_back(0xC0);
  for (const uint8_t byte : packet) {
    if (byte == 0xC0) {
      out.insert(out.end(), {0xDB, 0xDC});
    } else if (byte == 0xDB) {
      out.insert(out.end(), {0xDB, 0xDD});
    } else {
      out.push_back(byte);
    }
  }
  out.push_back(0xC0);
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes numbered(int32_t number) { return OscBytes().str("/n").str(",i").i32(number); }

const char* nameOf(Framing framing) { return framing == Framing::Length ? "#length" : "#slip"; }

const std::string Opened = "#streamopen, 0";
std::string closedFor(const std::string& reason) { return "#streamclosed, \"" + reason + "\""; }

class StreamTest : public testsupport::LingoSessionFixture {
 protected:
  std::string connect(Framing framing, int port) {
    return call("connectStream",
                {"\"127.0.0.1\"", std::to_string(port), nameOf(framing), "#onStream"});
  }

  // The stream handler's calls so far, as their arguments.
  Lines calls() const {
    Lines texts;
    for (const auto& recorded : host.scriptContext().calls()) texts.push_back(recorded.text);
    return texts;
  }
  // Pumps the host loop until there are `count` calls.
  bool pumpForCalls(size_t count, milliseconds wait = milliseconds(5000)) {
    return testsupport::pumpUntil(
        host, [&] { return host.scriptContext().calls().size() >= count; }, wait);
  }
  // Connects, takes the connection and waits for #streamopen.
  void open(Framing framing, TcpPeer& peer) {
    ASSERT_EQ(connect(framing, peer.port()), "1");
    ASSERT_TRUE(peer.accept());
    ASSERT_TRUE(pumpForCalls(1));
    ASSERT_EQ(calls().back(), Opened);
    host.scriptContext().clearCalls();
  }
};

class StreamFramingTest : public StreamTest, public ::testing::WithParamInterface<Framing> {};

TEST_P(StreamFramingTest, PacketsGoBothWaysAndRepliesGoBackOverTheStream) {
  const Framing framing = GetParam();
  TcpPeer peer;
  std::string sender;
  std::string replied;
  host.scriptContext().setHandler("onStream", [&](const standin::HandlerCall& handlerCall) {
    if (format(handlerCall.args[0]) == "\"/from/peer\"") {
      sender = call("lastSender");
      replied = call("reply", {"[\"/answer\", [#int32: 2]]"});
    }
    return StatusOk;
  });
  open(framing, peer);

  // An END and an ESC inside the packet: the SLIP frame escapes both.
  EXPECT_EQ(call("sendStream", {"[\"/to/peer\", [#int32: -64, #blob: <bytes c0 db>]]"}), "1");
  const Bytes sent = OscBytes().str("/to/peer").str(",ib").i32(-64).blob({0xC0, 0xDB});
  const Bytes expected = framed(framing, sent);
  EXPECT_EQ(peer.read(expected.size()), expected);

  const Bytes bundle =
      testsupport::bundleHeader(1).element(OscBytes().str("/in").str(",s").str("\xc0"));
  ASSERT_TRUE(peer.write(framed(framing, OscBytes().str("/from/peer").str(",i").i32(7)) +
                         framed(framing, bundle)));
  ASSERT_TRUE(pumpForCalls(4));
  EXPECT_EQ(calls(), (Lines{"\"/from/peer\", [7]", "#bundlestart, 1", "\"/in\", [\"\xc0\"]",
                            "#bundleend, 0"}));
  EXPECT_EQ(sender, "[\"127.0.0.1\", " + std::to_string(peer.port()) + "]");
  EXPECT_EQ(replied, "1");
  const Bytes answer = framed(framing, OscBytes().str("/answer").str(",i").i32(2));
  EXPECT_EQ(peer.read(answer.size()), answer) << "the reply came over the stream";

  call("disconnectStream");
  EXPECT_TRUE(peer.closedByOtherEnd(milliseconds(3000)));
  EXPECT_EQ(call("sendStream", {"[\"/late\"]"}), "0");
}

// Each hostile input is followed by a good packet, which arrives: after
// the connection is made again where the input breaks the framing.
struct Hostile {
  const char* what;
  Framing framing;
  Bytes bytes;
  bool breaksFraming;
};

std::vector<Hostile> hostileInputs() {
  const Bytes garbage = {0xde, 0xad, 0xbe, 0xef, 0x01, 0x02, 0x03};
  Bytes endless(1024 * 1024 + 1, 'x');
  endless.insert(endless.begin(), 0xC0);
  return {
      {"garbage in a frame", Framing::Length, framed(Framing::Length, garbage), false},
      {"garbage in a frame", Framing::Slip, framed(Framing::Slip, garbage), false},
      {"a frame claiming 2 GiB", Framing::Length, {0x80, 0, 0, 0}, true},
      {"a frame claiming 1 MiB and a byte", Framing::Length, {0, 0x10, 0, 1}, true},
      {"a SLIP packet with a bad escape", Framing::Slip, Bytes{0xC0, '/', 'x', 0xDB, 'q', 0, 0xC0},
       false},
      {"a SLIP stream with no END", Framing::Slip, endless, true},
  };
}

TEST_F(StreamTest, HostilePeersNeverStopTheStream) {
  int good = 0;
  for (const Hostile& input : hostileInputs()) {
    SCOPED_TRACE(std::string(input.what) +
                 (input.framing == Framing::Length ? ", length" : ", slip"));
    TcpPeer peer;
    ASSERT_NO_FATAL_FAILURE(open(input.framing, peer));
    peer.write(input.bytes);
    Lines expected;
    if (input.breaksFraming) {
      expected = {closedFor("framing error"), Opened};
      ASSERT_TRUE(peer.accept()) << "the stream connects again";
    }
    ASSERT_TRUE(peer.write(framed(input.framing, numbered(++good))));
    expected.push_back("\"/n\", [" + std::to_string(good) + "]");
    ASSERT_TRUE(pumpForCalls(expected.size()));
    EXPECT_EQ(calls(), expected);
    call("disconnectStream");
    host.scriptContext().clearCalls();
  }
}

TEST_F(StreamTest, PacketsArriveWholeHoweverTheyAreCut) {
  for (const Framing framing : {Framing::Length, Framing::Slip}) {
    SCOPED_TRACE(nameOf(framing));
    TcpPeer peer;
    ASSERT_NO_FATAL_FAILURE(open(framing, peer));
    // One byte at a time.
    for (const uint8_t byte : framed(framing, numbered(-1))) ASSERT_TRUE(peer.write({byte}));
    // Ten thousand in one write: none is lost to the queue's limit, since
    // the stream reads no faster than the host takes its items.
    constexpr int32_t Many = 10000;
    Bytes all;
    for (int32_t number = 0; number < Many; ++number) all = all + framed(framing, numbered(number));
    ASSERT_TRUE(peer.write(all));
    ASSERT_TRUE(pumpForCalls(Many + 1, milliseconds(20000)));
    const Lines received = calls();
    EXPECT_EQ(received.front(), "\"/n\", [-1]");
    EXPECT_EQ(received.back(), "\"/n\", [" + std::to_string(Many - 1) + "]");
    EXPECT_EQ(received.size(), static_cast<size_t>(Many) + 1);
    call("disconnectStream");
    host.scriptContext().clearCalls();
  }
}

TEST_F(StreamTest, APeerThatGoesAwayAndComesBackIsConnectedAgain) {
  TcpPeer peer;
  ASSERT_NO_FATAL_FAILURE(open(Framing::Length, peer));
  peer.closeConnection();
  peer.stopListening();
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(calls().front(), closedFor("closed by the peer"));
  // Back after a second, as a console that restarts.
  testsupport::pumpUntil(
      host, [] { return false; }, milliseconds(1000));
  ASSERT_TRUE(peer.listenAgain());
  ASSERT_TRUE(peer.accept(milliseconds(10000)));
  ASSERT_TRUE(testsupport::pumpUntil(host, [&] { return calls().back() == Opened; }));
  const Lines seen = calls();
  for (size_t i = 1; i + 1 < seen.size(); ++i) {
    EXPECT_EQ(seen[i], closedFor("connection refused")) << "while it was away";
  }
  EXPECT_EQ(call("sendStream", {"[\"/again\"]"}), "1");
  const Bytes again = framed(Framing::Length, OscBytes().str("/again").str(","));
  EXPECT_EQ(peer.read(again.size()), again);
}

TEST_F(StreamTest, WhatCanBeKnownAtOnceIsAnsweredAtOnce) {
  TcpPeer peer;
  const int port = peer.port();
  peer.stopListening();
  EXPECT_EQ(call("sendStream", {"[\"/x\"]"}), "0") << "no stream";
  EXPECT_EQ(connect(Framing::Slip, port), "1") << "the connect is the stream's own";
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(calls().front(), closedFor("connection refused"));
  EXPECT_EQ(call("sendStream", {"[\"/x\"]"}), "0") << "not connected";
  // A stream waiting to connect again gives way to a new one.
  ASSERT_TRUE(peer.listenAgain());
  host.scriptContext().clearCalls();
  EXPECT_EQ(connect(Framing::Length, port), "1");
  ASSERT_TRUE(peer.accept());
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(calls(), Lines{Opened});
  EXPECT_EQ(connect(Framing::Length, port), "\"stream already open\"");
  EXPECT_EQ(
      call("connectStream", {"\"stream.invalid\"", std::to_string(port), "#length", "#onStream"}),
      "\"unable to resolve host\"")
      << "the open stream stays";
  EXPECT_EQ(call("sendStream", {"[\"/still\"]"}), "1");
  const Bytes still = framed(Framing::Length, OscBytes().str("/still").str(","));
  EXPECT_EQ(peer.read(still.size()), still);

  // disconnectStream writes what is queued, then closes.
  for (int32_t number = 0; number < 100; ++number) {
    ASSERT_EQ(call("sendStream", {"[\"/n\", [#int32: " + std::to_string(number) + "]]"}), "1");
  }
  call("disconnectStream");
  Bytes expected;
  for (int32_t number = 0; number < 100; ++number) {
    expected = expected + framed(Framing::Length, numbered(number));
  }
  Bytes rest;
  EXPECT_TRUE(peer.closedByOtherEnd(milliseconds(3000), &rest));
  EXPECT_EQ(rest, expected);
}

// A peer that stops reading fills the system's buffers, then the stream's
// bounded queue: sendStream then answers 0 rather than wait or grow.
TEST_F(StreamTest, APeerThatStopsReadingMakesSendStreamAnswerZero) {
  renew({"1048576"});
  TcpPeer peer;
  ASSERT_NO_FATAL_FAILURE(open(Framing::Length, peer));
  const std::string big = "[\"/big\", [\"" + std::string(256 * 1024, 'b') + "\"]]";
  int sends = 0;
  while (sends < 400 && call("sendStream", {big}) == "1") ++sends;
  EXPECT_LT(sends, 400) << "the queue never filled";
  call("disconnectStream");  // within the flush limit, though nothing is read
}

INSTANTIATE_TEST_SUITE_P(EachFraming, StreamFramingTest,
                         ::testing::Values(Framing::Length, Framing::Slip), [](const auto& info) {
                           return info.param == Framing::Length ? "Length" : "Slip";
                         });

}  // namespace
}  // namespace zephyx
