// Talking with peers that answer, through the loaded library: who sent each
// delivered item, answers from the listening port, broadcast on the
// loopback network, and handlers chosen by address.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/host_ids.h"
#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"

namespace zephyx {
namespace {

using testsupport::Bytes;
using testsupport::OscBytes;

class ConversationTest : public testsupport::ListeningFixture {
 protected:
  static Bytes message(const std::string& address) { return OscBytes().str(address).str(","); }
  std::string senderOf(const testsupport::UdpCapture& peer) {
    return "[\"127.0.0.1\", " + std::to_string(peer.port()) + "]";
  }
  // Each call as "handler: arguments".
  std::vector<std::string> handled() const {
    std::vector<std::string> texts;
    for (const auto& recorded : host.scriptContext().calls()) {
      texts.push_back(recorded.handler + ": " + recorded.text);
    }
    return texts;
  }
};

TEST_F(ConversationTest, EachDeliveredItemKnowsItsSenderUntilForget) {
  EXPECT_EQ(call("lastSender"), "VOID") << "before any delivery";
  ASSERT_EQ(listen(false), "1");
  std::vector<std::string> seen;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    seen.push_back(call("lastSender"));
    return StatusOk;
  });
  testsupport::UdpCapture first;
  testsupport::UdpCapture second;
  first.send(port, testsupport::bundleHeader(1).element(message("/a")));
  ASSERT_TRUE(pumpForCalls(3));
  second.send(port, message("/b"));
  ASSERT_TRUE(pumpForCalls(4));
  EXPECT_EQ(seen, (std::vector<std::string>{senderOf(first), senderOf(first), senderOf(first),
                                            senderOf(second)}))
      << "the markers carry their datagram's sender";
  EXPECT_EQ(call("lastSender"), senderOf(second)) << "outside a pass: the last delivered";
  call("stopListening");
  EXPECT_EQ(call("lastSender"), senderOf(second)) << "kept while not listening";
  call("forget");
  EXPECT_EQ(call("lastSender"), "VOID");
}

TEST_F(ConversationTest, RepliesAndSendsFromTheListenerLeaveFromTheListeningPort) {
  testsupport::UdpCapture peer;
  call("setDestination", {"\"127.0.0.1\"", std::to_string(peer.port())});
  EXPECT_EQ(call("reply", {"[\"/r\", []]"}), "0") << "not listening";
  EXPECT_EQ(call("sendFromListener", {"[\"/s\", []]"}), "0") << "not listening";
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(call("reply", {"[\"/r\", []]"}), "0") << "no sender yet";

  EXPECT_EQ(call("sendFromListener", {"[\"/status\", [1]]"}), "1");
  std::optional<Bytes> got = peer.receive();
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, Bytes(OscBytes().str("/status").str(",i").i32(1)));
  EXPECT_EQ(peer.lastSourcePort(), port);

  // The peer answers to the port it heard from; the handler replies.
  std::string replied;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    replied = call("reply", {"[\"/pong\", [2]]"});
    return StatusOk;
  });
  peer.send(port, message("/ping"));
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(replied, "1");
  got = peer.receive();
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, Bytes(OscBytes().str("/pong").str(",i").i32(2)));
  EXPECT_EQ(peer.lastSourcePort(), port);

  // Built as send builds it: what does not fit the buffer is not sent.
  const std::string large = "[\"/large\", [\"" + std::string(1100, 'x') + "\"]]";
  EXPECT_EQ(call("reply", {large}), "0");
  EXPECT_EQ(call("sendFromListener", {large}), "0");
  EXPECT_EQ(call("reply", {"[\"/after\", []]"}), "1") << "the last sender, outside a pass";
  ASSERT_TRUE(peer.receive().has_value());
  EXPECT_FALSE(peer.receive(std::chrono::milliseconds(100)).has_value()) << "nothing else sent";

  call("stopListening");
  EXPECT_EQ(call("reply", {"[\"/r\", []]"}), "0");
  EXPECT_EQ(call("sendFromListener", {"[\"/s\", []]"}), "0");
}

// The host thread sends from the listening socket while the receiving
// thread waits on it and a flood arrives: under ThreadSanitizer, a race
// between them would show here.
TEST_F(ConversationTest, AnswersLeaveWhileAFloodArrivesOnTheSameSocket) {
  testsupport::UdpCapture peer;
  call("setDestination", {"\"127.0.0.1\"", std::to_string(peer.port())});
  ASSERT_EQ(listen(false), "1");
  constexpr int Messages = 400;
  // Pings not yet answered, at most: enough to keep both threads on the
  // socket at once, few enough for any system's default receive buffer,
  // since losing datagrams in the kernel is not what this test is about.
  constexpr int InFlight = 64;
  std::atomic<int> answered{0};
  host.scriptContext().setRecordLimit(0);
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    if (call("reply", {"[\"/pong\", []]"}) == "1") ++answered;
    if (call("sendFromListener", {"[\"/status\", []]"}) == "1") ++answered;
    return StatusOk;
  });
  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    for (int i = 0; i < Messages && flooding.load(); ++i) {
      while (flooding.load() && i - answered.load() / 2 >= InFlight) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      peer.send(port, OscBytes().str("/ping").str(",i").i32(i));
    }
  });
  const bool delivered = testsupport::pumpUntil(host, [&] { return answered == 2 * Messages; });
  flooding.store(false);
  flood.join();
  ASSERT_TRUE(delivered) << answered.load() << " answers";
  int received = 0;
  while (peer.receive(std::chrono::milliseconds(200)).has_value()) ++received;
  EXPECT_EQ(received, 2 * Messages) << "every answer arrived";
  EXPECT_EQ(peer.lastSourcePort(), port);
}

TEST_F(ConversationTest, ABroadcastOnTheLoopbackNetworkReachesAListener) {
  ASSERT_EQ(listen(false), "1");
  auto other = standin::LingoObject::create(host, hostids::ZephyxClass);
  ASSERT_NE(other, nullptr);
  callOn(*other, "setDestination", {"\"127.255.255.255\"", std::to_string(port)});
  EXPECT_EQ(callOn(*other, "send", {"[\"/all\", [1]]"}), "1");
  EXPECT_EQ(callOn(*other, "startListening", {"0", "0", "#onOsc"}), "1");
  EXPECT_EQ(callOn(*other, "sendFromListener", {"[\"/all\", [2]]"}), "1");
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(calls(), (std::vector<std::string>{"\"/all\", [1]", "\"/all\", [2]"}));
  callOn(*other, "forget");
}

TEST_F(ConversationTest, RoutesChooseTheHandlerByAddressInTheOrderAdded) {
  for (const char* name : {"onFreq", "onVoice", "onOther"}) {
    host.scriptContext().setHandler(name, [](const standin::HandlerCall&) { return StatusOk; });
  }
  EXPECT_EQ(call("addRoute", {"\"/synth/*/freq\"", "#onFreq", "7"}), "1");
  EXPECT_EQ(call("addRoute", {"\"/synth/{a,b}/*\"", "#onVoice"}), "1");
  EXPECT_EQ(call("addRoute", {"\"/synth/[!a-c]?\"", "#onOther"}), "1");
  EXPECT_EQ(call("addRoute", {"\"/synth/[a\"", "#onOther"}), "0") << "malformed";
  ASSERT_EQ(listen(false), "1");
  const struct {
    const char* address;
    const char* call;
  } cases[] = {
      {"/synth/a/freq", "onFreq: 7, \"/synth/a/freq\", []"},  // both match: the first added
      {"/synth/b/gain", "onVoice: \"/synth/b/gain\", []"},
      {"/synth/z1", "onOther: \"/synth/z1\", []"},
      {"/synth/a1", "onOsc: \"/synth/a1\", []"},              // matches none
      {"/synth/a/freq/x", "onOsc: \"/synth/a/freq/x\", []"},  // one part too many
  };
  for (const auto& one : cases) sender.send(port, message(one.address));
  ASSERT_TRUE(pumpForCalls(5));
  std::vector<std::string> expected;
  for (const auto& one : cases) expected.push_back(one.call);
  EXPECT_EQ(handled(), expected);
  host.scriptContext().clearCalls();

  // The same pattern again replaces its handler in place; markers and what
  // no route takes go to the listening handler; routes outlive a restart.
  EXPECT_EQ(call("addRoute", {"\"/synth/*/freq\"", "#onVoice"}), "1");
  EXPECT_EQ(call("removeRoute", {"\"/synth/{a,b}/*\""}), "1");
  EXPECT_EQ(call("removeRoute", {"\"/synth/{a,b}/*\""}), "0");
  ASSERT_EQ(listen(false), "1");
  sender.send(port, testsupport::bundleHeader(1).element(message("/synth/a/freq")));
  sender.send(port, message("/synth/b/gain"));
  ASSERT_TRUE(pumpForCalls(4));
  EXPECT_EQ(handled(),
            (std::vector<std::string>{"onOsc: #bundlestart, 1", "onVoice: \"/synth/a/freq\", []",
                                      "onOsc: #bundleend, 0", "onOsc: \"/synth/b/gain\", []"}));
}

}  // namespace
}  // namespace zephyx
