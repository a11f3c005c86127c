// Listening under a flood: threads send bursts of datagrams while the host
// thread and the handlers stop, restart, make and forget instances. Meant
// above all for the ThreadSanitizer build, where a race between the
// receiving threads and the host thread shows as a report; everywhere else
// it catches hangs, lost restarts, items of a stale shape and anything left
// over. Bounded by a fixed number of rounds or passes; the flood ends when
// the host thread says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/host_ids.h"
#include "tests/support/listening_session.h"
#include "tests/support/osc_bytes.h"
#include "tests/support/udp_loopback.h"

namespace zephyx {
namespace {

using testsupport::bundleHeader;
using testsupport::Bytes;
using testsupport::OscBytes;
using Texts = std::vector<std::string>;

constexpr int Rounds = 50;
// Datagrams to every port before a round's deliveries and again before its restart.
constexpr int Burst = 100;

// Messages, nested bundles and a malformed datagram, which must add nothing.
std::vector<Bytes> floodMix() {
  const Bytes plain = OscBytes().str("/m").str(",ifs").i32(1).f32(2.5f).str("text");
  const Bytes array = OscBytes().str("/arr").str(",[ii]").i32(1).i32(2);
  const Bytes blob = OscBytes().str("/blob").str(",b").blob({1, 2, 3});
  const Bytes bundle = bundleHeader(1).element(array).element(bundleHeader(7).element(blob));
  return {plain, bundle, Bytes{'/', 'x', 0}};
}

// Every handler call the mix can cause in each shape.
const std::set<std::string>& allowedCalls(bool asPropList) {
  static const std::set<std::string> list = {"\"/m\", [1, 2.5, \"text\"]",
                                             "\"/arr\", [[1, 2]]",
                                             "\"/blob\", [<bytes 01 02 03>]",
                                             "#bundlestart, 1",
                                             "#bundlestart, 7",
                                             "#bundleend, 0"};
  static const std::set<std::string> propList = {
      "\"/m\", [#int32: 1, #float32: 2.5, #string: \"text\"]",
      "\"/arr\", [#array: [#int32: 1, #int32: 2]]",
      "\"/blob\", [#blob: <bytes 01 02 03>]",
      "#bundlestart, 1",
      "#bundlestart, 7",
      "#bundleend, 0"};
  return asPropList ? propList : list;
}

// Sends the mix to every port, round robin, from one thread or several, as
// far as the host thread allows: each allowance is sent at once, while the
// host thread goes on, so the work of a round stays bounded however slow the
// build is. A port of 0 is passed over; aim() changes one as listeners come
// and go.
class Flood {
 public:
  explicit Flood(const std::vector<int>& ports, int threads = 1) : ports_(ports.size()) {
    for (size_t i = 0; i < ports.size(); ++i) aim(i, ports[i]);
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { run(); });
  }
  ~Flood() { stop(); }
  Flood(const Flood&) = delete;
  Flood& operator=(const Flood&) = delete;

  // Lets the flood send `count` more datagrams to every port.
  void allow(int count) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      allowed_ += count;
    }
    changed_.notify_all();
  }

  void aim(size_t which, int port) { ports_[which].store(port, std::memory_order_release); }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

 private:
  void run() {
    testsupport::UdpSender sender;
    const std::vector<Bytes> mix = floodMix();
    size_t next = 0;
    for (;;) {
      int batch = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || allowed_ > 0; });
        if (stopping_) return;
        batch = std::min(allowed_, 8);
        allowed_ -= batch;
      }
      for (int sent = 0; sent < batch; ++sent, ++next) {
        for (const std::atomic<int>& port : ports_) {
          const int to = port.load(std::memory_order_acquire);
          if (to != 0) sender.send(to, mix[next % mix.size()]);
        }
      }
    }
  }

  std::vector<std::atomic<int>> ports_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int allowed_ = 0;                   // guarded by mutex_
  bool stopping_ = false;             // guarded by mutex_
  std::vector<std::thread> threads_;  // last: start once the members above exist
};

class StressTest : public testsupport::ListeningFixture {
 protected:
  void SetUp() override {
    ListeningFixture::SetUp();
    host.scriptContext().setHandler("onOther",
                                    [](const standin::HandlerCall&) { return StatusOk; });
  }

  std::string startOn(standin::LingoObject& target, int onPort, bool asPropList,
                      const std::string& handler) {
    return callOn(target, "startListening",
                  {std::to_string(onPort), asPropList ? "1" : "0", handler});
  }

  // Listens on a port the system chose, as ListeningFixture::listen does.
  int listenOnFreePort(standin::LingoObject& target, bool asPropList, const std::string& handler) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int freePort = testsupport::freeUdpPort();
      if (startOn(target, freePort, asPropList, handler) == "1") return freePort;
    }
    ADD_FAILURE() << "no port to listen on";
    return 0;
  }

  size_t callsOf(const std::string& handler) const {
    size_t count = 0;
    for (const standin::RecordedCall& recorded : host.scriptContext().calls()) {
      if (recorded.handler == handler) ++count;
    }
    return count;
  }

  // Every recorded call of `handler` is one the mix causes in the shape.
  // The first stray call, or "".
  std::string strayCall(const std::string& handler, bool asPropList) const {
    for (const standin::RecordedCall& recorded : host.scriptContext().calls()) {
      if (recorded.handler == handler && allowedCalls(asPropList).count(recorded.text) == 0) {
        return recorded.text;
      }
    }
    return "";
  }

  std::unique_ptr<standin::LingoObject> newObject() {
    return standin::LingoObject::create(host, hostids::ZephyxClass);
  }

  static void forget(std::unique_ptr<standin::LingoObject>& target) {
    target->call("forget");
    target.reset();
  }

  // An early failure must not leave an object listening past the host.
  struct ForgetOnExit {
    std::unique_ptr<standin::LingoObject>& target;
    ~ForgetOnExit() {
      if (target) forget(target);
    }
  };
};

TEST_F(StressTest, TwoInstancesFloodedTogetherAreRestartedAndForgottenInTurn) {
  ASSERT_EQ(listen(false), "1");
  const int firstPort = port;
  // What one listening instance keeps alive in the host.
  const int64_t oneListening = host.liveInstances();
  std::unique_ptr<standin::LingoObject> second = newObject();
  ASSERT_NE(second, nullptr);
  ForgetOnExit forgetSecond{second};
  const int secondPort = listenOnFreePort(*second, true, "#onOther");
  ASSERT_NE(secondPort, 0);
  bool firstShape = false;
  bool secondShape = true;
  Flood flood({firstPort, secondPort});

  auto checkRound = [&](int round, bool firstListens, bool secondListens) {
    flood.allow(Burst);
    ASSERT_TRUE(testsupport::pumpUntil(host,
                                       [&] {
                                         return (!firstListens || callsOf("onOsc") > 0) &&
                                                (!secondListens || callsOf("onOther") > 0);
                                       }))
        << "round " << round;
    for (int pass = 0; pass < 2; ++pass) host.pump();
    if (!firstListens) {
      EXPECT_EQ(callsOf("onOsc"), 0u) << "round " << round;
    }
    if (!secondListens) {
      EXPECT_EQ(callsOf("onOther"), 0u) << "round " << round;
    }
    EXPECT_EQ(strayCall("onOsc", firstShape), "") << "round " << round;
    EXPECT_EQ(strayCall("onOther", secondShape), "") << "round " << round;
    host.scriptContext().clearCalls();
    flood.allow(Burst);  // arriving during whatever the round does next
  };

  // Both listen; one of them is restarted in each round, in turn.
  for (int round = 0; round < Rounds / 2; ++round) {
    ASSERT_NO_FATAL_FAILURE(checkRound(round, true, true));
    if (round % 2 == 0) {
      firstShape = !firstShape;
      ASSERT_EQ(startOn(*object, firstPort, firstShape, "#onOsc"), "1") << "round " << round;
    } else {
      secondShape = !secondShape;
      ASSERT_EQ(startOn(*second, secondPort, secondShape, "#onOther"), "1") << "round " << round;
    }
    EXPECT_EQ(host.notifications().registrationCount(), 2);
  }

  // The first is forgotten mid-flood; the second goes on alone.
  forget(object);
  EXPECT_EQ(host.liveInstances(), oneListening);
  EXPECT_EQ(host.notifications().registrationCount(), 1);
  for (int round = 0; round < 5; ++round) {
    ASSERT_NO_FATAL_FAILURE(checkRound(round, false, true));
  }

  // A new first instance takes over the old port; then the second is
  // forgotten and the new first goes on alone.
  object = newObject();
  ASSERT_NE(object, nullptr);
  firstShape = true;
  ASSERT_EQ(startOn(*object, firstPort, firstShape, "#onOsc"), "1");
  for (int round = 0; round < 5; ++round) {
    ASSERT_NO_FATAL_FAILURE(checkRound(round, true, true));
  }
  forget(second);
  EXPECT_EQ(host.liveInstances(), oneListening);
  for (int round = 0; round < 5; ++round) {
    ASSERT_NO_FATAL_FAILURE(checkRound(round, true, false));
  }

  forget(object);
  flood.stop();
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(host.notifications().registrationCount(), 0);
}

// Handlers send, stop, restart and forget while three threads flood the
// listener, and the host thread makes and forgets another listening
// instance all along. Bounded by the number of passes.
TEST_F(StressTest, HandlersAndTheHostChurnInstancesWhileSeveralThreadsFlood) {
  constexpr int Passes = 300;
  ASSERT_EQ(listen(false), "1");
  Flood flood({port, 0}, 3);  // the listener, and the churning instance when there is one
  std::unique_ptr<standin::LingoObject> churn;
  ForgetOnExit forgetChurn{churn};
  auto forgetChurnNow = [&] {
    flood.aim(1, 0);
    forget(churn);
  };
  auto aimAtListener = [&](standin::LingoObject& target) {
    callOn(target, "setDestination", {"\"127.0.0.1\"", std::to_string(port)});
  };
  aimAtListener(*object);
  bool shape = false;
  bool forgotten = false;
  int calls = 0, churnCalls = 0, churnLifeCalls = 0, churnStarts = 0;
  int replies = 0, restarts = 0, handlerForgets = 0, ownForgets = 0;

  std::string stray;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& handlerCall) {
    if (forgotten) return StatusOk;  // the rest of the pass that forgot it
    // Nothing queued before a restart is delivered after it.
    const std::string text = format(handlerCall.args[0]) + ", " + format(handlerCall.args[1]);
    const bool reply = text == (shape ? "\"/reply\", [#int32: 1]" : "\"/reply\", [1]");
    if (stray.empty() && !reply && allowedCalls(shape).count(text) == 0) stray = text;
    if (++calls % 7 == 0) {
      EXPECT_EQ(call("send", {"[\"/reply\", [1]]"}), "1");
      ++replies;
    } else if (calls % 53 == 0) {
      shape = !shape;
      EXPECT_EQ(call("stopListening"), "VOID");
      EXPECT_EQ(startOn(*object, port, shape, "#onOsc"), "1");
      ++restarts;
    } else if (calls % 31 == 0 && churn && churnLifeCalls >= 3) {
      forgetChurnNow();
      ++handlerForgets;
    } else if (calls % 211 == 0) {
      call("forget");  // its pass still holds it; the host loop lets it go
      forgotten = true;
      ++ownForgets;
    }
    return StatusOk;
  });
  host.scriptContext().setHandler("onChurn", [&](const standin::HandlerCall&) {
    ++churnLifeCalls;
    if (++churnCalls % 5 == 0) {
      EXPECT_EQ(callOn(*churn, "send", {"[\"/reply\", [1]]"}), "1");
    }
    return StatusOk;
  });

  int pass = 0;
  auto hostStep = [&] {
    host.scriptContext().clearCalls();
    if (forgotten) {
      forgotten = false;
      object = newObject();
      if (startOn(*object, port, shape, "#onOsc") != "1") {
        port = listenOnFreePort(*object, shape, "#onOsc");  // taken meanwhile
        flood.aim(0, port);
      }
      aimAtListener(*object);
    }
    if (!churn) {
      churn = newObject();
      churnLifeCalls = 0;
      flood.aim(1, listenOnFreePort(*churn, false, "#onChurn"));
      aimAtListener(*churn);
      ++churnStarts;
    } else if (pass % 25 == 0) {
      forgetChurnNow();
    }
    flood.allow(10);
    return ++pass > Passes;
  };
  ASSERT_TRUE(testsupport::pumpUntil(host, hostStep, std::chrono::seconds(120)));
  flood.stop();
  hostStep();

  EXPECT_EQ(stray, "");
  for (int count : {churnCalls, churnStarts - 1, replies, restarts, handlerForgets, ownForgets}) {
    EXPECT_GT(count, 0) << "churn calls, restarts of the churn, replies, restarts, forgets "
                           "by a handler, forgets of itself";
  }
  forget(churn);
  forget(object);
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(host.notifications().registrationCount(), 0);
}

}  // namespace
}  // namespace zephyx
