// The instance record, `new`, `forget` and method dispatch, with the
// library's code linked in so that the record can be inspected.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "host/host_ids.h"
#include "receive/ofx_osc_receiver.h"
#include "tests/support/host_fixture.h"
#include "tests/support/udp_loopback.h"
#include "xtra/library_entry_points.h"
#include "xtra/message_table.h"
#include "xtra/process_state.h"
#include "xtra/scripting_object.h"
#include "common/type_symbol_table.h"

namespace zephyx::xtra {
namespace {

using standin::LingoObject;
using testsupport::HostFixture;

class InstanceTest : public HostFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface));
  }

  std::unique_ptr<LingoObject> make(const std::vector<HostValue>& newArgs = {}) {
    auto object = LingoObject::create(host, hostids::ZephyxClass, newArgs);
    EXPECT_NE(object, nullptr);
    return object;
  }

  static XtraInstance& record(const LingoObject& object) {
    return *static_cast<TStdXtra_IMoaMmXScript*>(object.script())->owner;
  }

  HostSymbol symbol(const char* name) { return host.symbols().intern(name); }
};

TEST_F(InstanceTest, NewSetsTheDefaults) {
  auto object = make();
  const XtraInstance& instance = record(*object);
  EXPECT_EQ(instance.bufferSize, 1024);
  EXPECT_STREQ(instance.destinationHost, "127.0.0.1");
  EXPECT_EQ(instance.destinationPort, 5500);
  EXPECT_FALSE(instance.listening);
  ASSERT_NE(instance.held->receiver, nullptr);
  EXPECT_FALSE(instance.held->receiver->running()) << "idle: no socket, no thread";
  ASSERT_NE(instance.held->typeSymbols, nullptr);
  EXPECT_NE(instance.held->scriptContext.get(), nullptr);
  EXPECT_NE(instance.held->callGuard.get(), nullptr);
  object->call(MethodForget);
}

TEST_F(InstanceTest, TypeNamesResolveToTheirIndices) {
  auto object = make();
  const TypeSymbolTable& table = *record(*object).held->typeSymbols;
  EXPECT_EQ(typeIndexOf(table, symbol("rgba")), 12);
  EXPECT_EQ(typeIndexOf(table, symbol("int32")), 0);
  EXPECT_EQ(typeIndexOf(table, symbol("Time")), 13) << "symbols ignore case";
  EXPECT_EQ(typeIndexOf(table, symbol("integer")), -1);
  EXPECT_EQ(typeIndexOf(table, NoSymbol), -1);
  for (const TypeName& name : TypeNames) {
    EXPECT_EQ(typeIndexOf(table, symbol(name.name)), name.index) << name.name;
  }
  object->call(MethodForget);
}

TEST_F(InstanceTest, IndicesOutsideTheTableCallNothing) {
  auto object = make();
  const XtraInstance& instance = record(*object);
  OwnedValue marker = lingo("\"untouched\"");
  for (int32_t index : {int32_t{MethodCount}, int32_t{MethodCount} + 1, -1, INT_MIN, INT_MAX}) {
    MethodCall call{};
    call.methodIndex = index;
    call.result = marker.get();
    HostValue args[2] = {object->me(), VoidValue};
    call.args = args;
    call.argCount = 2;
    EXPECT_EQ(object->script()->callMethod(&call), StatusOk) << index;
    EXPECT_TRUE(sameValue(call.result, marker.get())) << "result left as given, index " << index;
  }
  EXPECT_EQ(instance.bufferSize, 1024);
  EXPECT_NE(instance.held->receiver, nullptr);
  object->call(MethodForget);
}

TEST_F(InstanceTest, EachMethodIndexReachesItsMethod) {
  auto object = make();
  XtraInstance& instance = record(*object);
  OwnedValue host9000 = lingo("\"localhost\"");
  OwnedValue port = lingo("9000");
  object->call(MethodSetDestination, {host9000.get(), port.get()});
  EXPECT_STREQ(instance.destinationHost, "localhost");
  EXPECT_EQ(instance.destinationPort, 9000);

  OwnedValue empty = lingo("[]");
  EXPECT_EQ(format(object->call(MethodSend, {empty.get()})), "0");

  OwnedValue listenPort = lingo("0");
  OwnedValue shape = lingo("0");
  OwnedValue handler = lingo("#onOsc");
  EXPECT_EQ(
      format(object->call(MethodStartListening, {listenPort.get(), shape.get(), handler.get()})),
      "1");
  EXPECT_TRUE(instance.listening);
  EXPECT_EQ(format(object->call(MethodStopListening)), "VOID");
  EXPECT_FALSE(instance.listening);

  EXPECT_EQ(format(object->call(MethodForget)), "VOID");
  EXPECT_EQ(instance.held->receiver, nullptr);
}

TEST_F(InstanceTest, ForgetOfAnIdleInstanceFreesWhatNewMade) {
  auto object = make();
  XtraInstance& instance = record(*object);
  object->call(MethodForget);
  EXPECT_EQ(instance.held->receiver, nullptr);
  EXPECT_EQ(instance.held->typeSymbols, nullptr);
  EXPECT_EQ(instance.held->callGuard.get(), nullptr);
  EXPECT_EQ(instance.held->scriptContext.get(), nullptr);
  EXPECT_FALSE(instance.listening);
  EXPECT_EQ(host.scriptContext().references(), 0) << "script context and call guard given back";
}

TEST_F(InstanceTest, ForgetOfAListeningInstanceUnregistersAndStops) {
  auto object = make();
  XtraInstance& instance = record(*object);
  OwnedValue port = lingo("0");
  OwnedValue shape = lingo("1");
  OwnedValue handler = lingo("#onOsc");
  OwnedValue target = host.own(host.makeObject("receiver"));
  ASSERT_EQ(format(object->call(MethodStartListening,
                                {port.get(), shape.get(), handler.get(), target.get()})),
            "1");
  EXPECT_EQ(host.notifications().registrationCount(), 1);
  EXPECT_TRUE(instance.held->receiver->running());

  object->call(MethodForget);
  EXPECT_EQ(host.notifications().registrationCount(), 0);
  EXPECT_FALSE(instance.listening);
  EXPECT_EQ(instance.held->receiver, nullptr);
  EXPECT_EQ(instance.held->typeSymbols, nullptr);
  EXPECT_FALSE(instance.held->hasTarget) << "the retained target was given back";
}

TEST_F(InstanceTest, TheLastInstanceGivesTheBrokerAndForgettingOneLeavesTheOther) {
  standin::StandInHost other;
  ASSERT_TRUE(other.addClass(hostids::ZephyxClass, xtra::DllGetClassForm, xtra::DllGetInterface));
  auto first = make();
  EXPECT_EQ(sharedBroker, static_cast<IHostBroker*>(&host.broker()));
  auto second = LingoObject::create(other, hostids::ZephyxClass);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(sharedBroker, static_cast<IHostBroker*>(&other.broker()));

  second->call(MethodForget);
  second.reset();
  EXPECT_EQ(other.leakReport(), "");
  // The first instance still has its own table, interned by its own host.
  const XtraInstance& a = record(*first);
  ASSERT_NE(a.held->typeSymbols, nullptr);
  ASSERT_NE(a.held->receiver, nullptr);
  HostSymbol int32 = NoSymbol;
  host.values().stringToSymbol("int32", &int32);
  EXPECT_EQ(a.held->typeSymbols->symbols[TypeInt32], int32);
  first->call(MethodForget);
}

TEST_F(InstanceTest, AFailingServiceEndsCreationAndReleasesWhatWasTaken) {
  host.broker().failService(hostids::ObjectService, true);
  HostStatus status = StatusOk;
  auto object = LingoObject::create(host, hostids::ZephyxClass, {}, &status);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(status, StatusOk);
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(host.serviceReferences(), 0);
}

TEST_F(InstanceTest, ASecondNewStartsOverWithoutLeaking) {
  auto object = make();
  OwnedValue size = lingo("2048");
  object->call(MethodNew, {size.get()});
  EXPECT_EQ(record(*object).bufferSize, 2048);
  object->call(MethodForget);
}

}  // namespace
}  // namespace zephyx::xtra
