// startListening, stopListening and the delivery of received items to the
// script's handler on the host thread, through the loaded library.
#include <gtest/gtest.h>

#include <string>

#include "host/host_ids.h"
#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"

namespace zephyx {
namespace {

using testsupport::Bytes;
using testsupport::OscBytes;

class DeliveryTest : public testsupport::ListeningFixture {
 protected:
  static Bytes numbered(int32_t number) { return OscBytes().str("/n").str(",i").i32(number); }

  void sendNumbers(int32_t first, int32_t last) {
    for (int32_t number = first; number <= last; ++number) sender.send(port, numbered(number));
  }

  // Sends the numbered messages and waits, without delivering, until all
  // are queued: each queued item holds three values (address, list, number).
  void sendAndWaitQueued(int32_t first, int32_t last) {
    const int64_t before = host.valueTable().liveCount();
    sendNumbers(first, last);
    const int64_t expected = before + 3 * (last - first + 1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return host.valueTable().liveCount() >= expected; }));
  }

  // startListening on a free port with a target object; the result.
  std::string listenWithTarget(const HostValue& target) {
    std::string result;
    for (int attempt = 0; attempt < 20 && result != "1"; ++attempt) {
      port = testsupport::freeUdpPort();
      OwnedValue portValue = host.own(host.makeInteger(port));
      OwnedValue shape = host.own(host.makeInteger(0));
      OwnedValue handler = host.own(host.makeSymbol("onOsc"));
      result = format(
          object->call("startListening", {portValue.get(), shape.get(), handler.get(), target}));
    }
    return result;
  }

  standin::StandInScriptContext& context() { return host.scriptContext(); }
};

TEST_F(DeliveryTest, ItemsArriveInOrderAsHeadAndBody) {
  ASSERT_EQ(listen(false), "1");
  sendNumbers(1, 5);
  ASSERT_TRUE(pumpForCalls(5));
  EXPECT_EQ(calls(), (std::vector<std::string>{"\"/n\", [1]", "\"/n\", [2]", "\"/n\", [3]",
                                               "\"/n\", [4]", "\"/n\", [5]"}));
  EXPECT_EQ(context().calls().front().handler, "onOsc");
}

TEST_F(DeliveryTest, ATargetComesFirstInEveryCall) {
  OwnedValue target = host.own(host.makeObject("listener"));
  int targetCalls = 0;
  context().setObjectHandler("listener", "onOsc", [&](const standin::HandlerCall& handlerCall) {
    ++targetCalls;
    EXPECT_EQ(handlerCall.count, 3);
    EXPECT_TRUE(sameValue(handlerCall.args[0], target.get()));
    return StatusOk;
  });
  ASSERT_EQ(listenWithTarget(target.get()), "1");
  sendNumbers(1, 2);
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(targetCalls, 2);
  EXPECT_EQ(calls().front(), "<object listener>, \"/n\", [1]");
}

TEST_F(DeliveryTest, AFailingHandlerDoesNotStopThePassAndValuesAreReleased) {
  ASSERT_EQ(listen(false), "1");
  const int64_t before = host.valueTable().liveCount();
  context().failCalls(true);
  sendNumbers(1, 3);
  ASSERT_TRUE(pumpForCalls(3));
  EXPECT_EQ(calls().size(), 3u);
  EXPECT_EQ(host.valueTable().liveCount(), before) << "each item's values released after its call";
}

TEST_F(DeliveryTest, EveryPassSavesAndRestoresTheCallContextOnce) {
  ASSERT_EQ(listen(false), "1");
  const int32_t saves = context().saves();
  EXPECT_EQ(host.pump(), 1);
  EXPECT_EQ(context().saves(), saves + 1) << "also when the queue is empty";
  EXPECT_EQ(context().restores(), context().saves());
  EXPECT_TRUE(calls().empty());
  sendNumbers(1, 2);
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(context().restores(), context().saves());
  EXPECT_EQ(context().unmatchedRestores(), 0);
}

TEST_F(DeliveryTest, BadStartsAnswerWithTheReason) {
  EXPECT_EQ(call("startListening", {"70000", "0", "#onOsc"}), "\"invalid udp port\"");
  EXPECT_EQ(call("startListening", {"-2", "0", "#onOsc"}), "\"invalid udp port\"");
  testsupport::PortHolder holder;
  EXPECT_EQ(call("startListening", {std::to_string(holder.port()), "0", "#onOsc"}),
            "\"unable to bind udp socket\"");
  EXPECT_EQ(host.notifications().registrationCount(), 0);
  EXPECT_EQ(listen(false), "1") << "a free port still works after the failures";
}

TEST_F(DeliveryTest, AMissingArgumentLeavesARunningListenerAlone) {
  ASSERT_EQ(listen(false), "1");
  EXPECT_EQ(call("startListening", {"0"}), "\"missing argument\"");
  sendNumbers(1, 1);
  ASSERT_TRUE(pumpForCalls(1));
}

TEST_F(DeliveryTest, StartingTwiceLeavesOneRegistrationAndStopEndsIt) {
  ASSERT_EQ(listen(false), "1");
  ASSERT_EQ(listen(true), "1");
  EXPECT_EQ(host.notifications().registrationCount(), 1);
  EXPECT_EQ(call("stopListening"), "VOID");
  EXPECT_EQ(host.notifications().registrationCount(), 0);
  EXPECT_EQ(host.pump(), 0) << "no pass runs after stopListening";
  EXPECT_EQ(call("stopListening"), "VOID") << "stopping an idle instance does nothing";
}

TEST_F(DeliveryTest, ARestartDropsWhatWasNotDelivered) {
  ASSERT_EQ(listen(false), "1");
  sendAndWaitQueued(1, 3);
  const std::string samePort = std::to_string(port);
  ASSERT_EQ(call("startListening", {samePort, "0", "#onOsc"}), "1");
  sendNumbers(5, 5);
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(calls(), std::vector<std::string>{"\"/n\", [5]"});
}

TEST_F(DeliveryTest, AHandlerMaySendToItsOwnPort) {
  ASSERT_EQ(listen(false), "1");
  call("setDestination", {"\"127.0.0.1\"", std::to_string(port)});
  context().setHandler("onOsc", [&](const standin::HandlerCall& handlerCall) {
    if (format(handlerCall.args[1]) == "[1]") {
      EXPECT_EQ(call("send", {"[\"/reply\", [2]]"}), "1");
    }
    return StatusOk;
  });
  sendNumbers(1, 1);
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(calls().back(), "\"/reply\", [2]");
}

TEST_F(DeliveryTest, AHandlerMayStopListening) {
  ASSERT_EQ(listen(false), "1");
  context().setHandler("onOsc", [&](const standin::HandlerCall&) {
    call("stopListening");
    return StatusOk;
  });
  sendAndWaitQueued(1, 3);
  EXPECT_EQ(host.pump(), 1);
  EXPECT_EQ(host.pump(), 0);
  EXPECT_EQ(calls().size(), 1u) << "the queue was emptied, so the pass ended";
  EXPECT_EQ(host.notifications().registrationCount(), 0);
}

TEST_F(DeliveryTest, AHandlerMayRestartListening) {
  ASSERT_EQ(listen(false), "1");
  int restarts = 0;
  context().setHandler("onOsc", [&](const standin::HandlerCall&) {
    if (restarts++ == 0) {
      EXPECT_EQ(call("startListening", {std::to_string(port), "1", "#onOther"}), "1");
    }
    return StatusOk;
  });
  int otherCalls = 0;
  context().setHandler("onOther", [&](const standin::HandlerCall&) {
    ++otherCalls;
    return StatusOk;
  });
  sendNumbers(1, 1);
  ASSERT_TRUE(pumpForCalls(1));
  EXPECT_EQ(host.notifications().registrationCount(), 1);
  sendNumbers(2, 2);
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(otherCalls, 1);
  EXPECT_EQ(calls().back(), "\"/n\", [#int32: 2]") << "the new shape and handler";
}

// The pass keeps the target and argument count it began with but calls the
// handler named last, so a handler that restarts listening hands the rest
// of the pass to the new handler.
TEST_F(DeliveryTest, ARestartInAHandlerHandsTheRestOfThePassToTheNewHandler) {
  OwnedValue target = host.own(host.makeObject("listener"));
  context().setObjectHandler("listener", "onOsc", [&](const standin::HandlerCall&) {
    EXPECT_EQ(call("startListening", {std::to_string(port), "0", "#onOther"}), "1");
    const int64_t before = host.valueTable().liveCount();
    sender.send(port, numbered(10));
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return host.valueTable().liveCount() >= before + 3; }));
    return StatusOk;
  });
  std::vector<int32_t> otherCounts;
  context().setObjectHandler("listener", "onOther", [&](const standin::HandlerCall& handlerCall) {
    otherCounts.push_back(handlerCall.count);
    return StatusOk;
  });
  ASSERT_EQ(listenWithTarget(target.get()), "1");
  sendAndWaitQueued(1, 2);
  host.pump();
  EXPECT_EQ(calls(), (std::vector<std::string>{"<object listener>, \"/n\", [1]",
                                               "<object listener>, \"/n\", [10]"}))
      << "item 2 went with the old receiver; item 10 came in the same pass";
  EXPECT_EQ(otherCounts, std::vector<int32_t>{3});
}

// The queue limit may take a bundle's start marker and leave its end.
TEST_F(DeliveryTest, AnEndMarkerOutlivesItsEvictedStart) {
  ASSERT_EQ(listen(false), "1");
  constexpr int32_t InBundle = 250;  // as many as a 4096-byte datagram holds, nearly
  testsupport::OscBytes bundle = testsupport::bundleHeader(1);
  for (int32_t number = 0; number < InBundle; ++number) bundle.element(numbered(number));
  const int64_t before = host.valueTable().liveCount();
  sender.send(port, bundle);
  // Markers hold two values, messages three.
  ASSERT_TRUE(testsupport::waitUntil(
      [&] { return host.valueTable().liveCount() >= before + 4 + 3 * InBundle; }));
  // Fill the queue to its 1025 items, then one more evicts the start marker.
  const int32_t toFill = 1025 - (InBundle + 2);
  for (int32_t first = 1; first <= toFill; first += 100) {
    sendAndWaitQueued(first, std::min(first + 99, toFill));
  }
  const int64_t full = host.valueTable().liveCount();
  sender.send(port, numbered(toFill + 1));
  ASSERT_TRUE(testsupport::waitUntil([&] { return host.valueTable().liveCount() == full + 1; }));
  host.pump();
  const std::vector<std::string> delivered = calls();
  ASSERT_EQ(delivered.size(), 1025u);
  EXPECT_EQ(delivered.front(), "\"/n\", [0]") << "the start marker went";
  EXPECT_EQ(delivered[InBundle], "#bundleend, 0");
  EXPECT_EQ(delivered.back(), "\"/n\", [" + std::to_string(toFill + 1) + "]");
}

TEST_F(DeliveryTest, AHandlerMayForgetTheInstance) {
  ASSERT_EQ(listen(false), "1");
  context().setHandler("onOsc", [&](const standin::HandlerCall&) {
    call("forget");
    return StatusOk;
  });
  sendAndWaitQueued(1, 3);
  EXPECT_EQ(host.pump(), 1);
  EXPECT_EQ(host.pump(), 0);
  EXPECT_EQ(calls().size(), 1u);
  EXPECT_EQ(context().restores(), context().saves()) << "the pass restored what it saved";
  object.reset();
  EXPECT_EQ(host.liveInstances(), 0);
}

TEST_F(DeliveryTest, TheTargetOutlivesItsReplacementDuringAPass) {
  OwnedValue first = host.own(host.makeObject("first"));
  context().setObjectHandler("first", "onOsc", [&](const standin::HandlerCall& handlerCall) {
    // Replaces the target this very pass is using.
    OwnedValue portValue = host.own(host.makeInteger(port));
    OwnedValue shape = host.own(host.makeInteger(0));
    OwnedValue handler = host.own(host.makeSymbol("onOsc"));
    OwnedValue second = host.own(host.makeObject("second"));
    object->call("startListening", {portValue.get(), shape.get(), handler.get(), second.get()});
    EXPECT_TRUE(host.valueTable().isValid(handlerCall.args[0]));
    return StatusOk;
  });
  context().setObjectHandler("second", "onOsc",
                             [](const standin::HandlerCall&) { return StatusOk; });
  ASSERT_EQ(listenWithTarget(first.get()), "1");
  first.reset();  // the script lets go of it; only the instance holds it now
  sendNumbers(1, 1);
  ASSERT_TRUE(pumpForCalls(1));
  sendNumbers(2, 2);
  ASSERT_TRUE(pumpForCalls(2));
  EXPECT_EQ(calls().back(), "<object second>, \"/n\", [2]");
}

TEST_F(DeliveryTest, NothingIsLeftAfterForgettingAListeningInstance) {
  ASSERT_EQ(listen(false), "1");
  sendAndWaitQueued(1, 20);
  call("forget");
  object.reset();
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(host.valueTable().liveCount(), 0) << "undelivered items were released";
}

}  // namespace
}  // namespace zephyx
