// Listening control and delivery passes, with the library's code linked in
// so that the receiver's queue and the process-wide flags can be reached.
#include <gtest/gtest.h>

#include <string>

#include "host/host_ids.h"
#include "receive/ofx_osc_receiver.h"
#include "tests/support/host_fixture.h"
#include "xtra/library_entry_points.h"
#include "xtra/message_table.h"
#include "xtra/process_state.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {
namespace {

using standin::LingoObject;

class ListeningTest : public testsupport::HostFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface));
  }

  std::unique_ptr<LingoObject> make() {
    auto object = LingoObject::create(host, hostids::ZephyxClass);
    EXPECT_NE(object, nullptr);
    return object;
  }

  static XtraInstance& record(const LingoObject& object) {
    return *static_cast<TStdXtra_IMoaMmXScript*>(object.script())->owner;
  }

  void pushNumber(receive::ofxOscReceiver& receiver, int32_t number) {
    receive::DatagramItems items(&host.values(), {});
    items.add(host.makeString("/n"), host.makeInteger(number));
    receiver.pushItems(items);
  }
};

TEST_F(ListeningTest, APassDeliversOnlyWhatWasQueuedWhenItBegan) {
  auto object = make();
  OwnedValue port = lingo("0");
  OwnedValue shape = lingo("0");
  OwnedValue handler = lingo("#onOsc");
  ASSERT_EQ(format(object->call(MethodStartListening, {port.get(), shape.get(), handler.get()})),
            "1");
  receive::ofxOscReceiver& receiver = *record(*object).held->receiver;
  int delivered = 0;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall&) {
    // A flood: every delivery brings two more items.
    if (++delivered <= 3) {
      pushNumber(receiver, 100 + delivered);
      pushNumber(receiver, 200 + delivered);
    }
    return StatusOk;
  });
  for (int32_t i = 1; i <= 3; ++i) pushNumber(receiver, i);

  EXPECT_EQ(host.pump(), 1);
  EXPECT_EQ(delivered, 3) << "items that arrived during the pass wait for the next";
  EXPECT_EQ(receiver.queuedCount(), 6u);
  host.pump();
  EXPECT_EQ(delivered, 9);
  host.scriptContext().clearCalls();
  object->call(MethodForget);
}

TEST_F(ListeningTest, TheDestinationHostKeepsItsFirst255Bytes) {
  auto object = make();
  const std::string longName(300, 'h');
  OwnedValue name = host.own(host.makeString(longName));
  OwnedValue port = lingo("9000");
  object->call(MethodSetDestination, {name.get(), port.get()});
  const XtraInstance& instance = record(*object);
  EXPECT_EQ(std::string(instance.destinationHost), longName.substr(0, 255));
  EXPECT_EQ(instance.destinationPort, 9000);

  OwnedValue notText = lingo("42");
  object->call(MethodSetDestination, {notText.get()});
  EXPECT_STREQ(instance.destinationHost, "") << "what the host's copyString leaves";
  EXPECT_EQ(instance.destinationPort, 9000) << "a missing port changes nothing";
  object->call(MethodForget);
}

TEST_F(ListeningTest, ANotificationClientThatCannotBeCreatedLeavesItemsQueued) {
  auto object = make();
  host.memory().failNextAllocations(1);  // the client's interface object
  OwnedValue port = lingo("0");
  OwnedValue shape = lingo("0");
  OwnedValue handler = lingo("#onOsc");
  EXPECT_EQ(format(object->call(MethodStartListening, {port.get(), shape.get(), handler.get()})),
            "1");
  XtraInstance& instance = record(*object);
  EXPECT_TRUE(instance.listening);
  EXPECT_EQ(host.notifications().registrationCount(), 0);
  pushNumber(*instance.held->receiver, 1);
  EXPECT_EQ(host.pump(), 0);
  EXPECT_EQ(instance.held->receiver->queuedCount(), 1u);
  object->call(MethodStopListening);
  EXPECT_EQ(instance.held->receiver->queuedCount(), 0u);
  object->call(MethodForget);
}

}  // namespace
}  // namespace zephyx::xtra
