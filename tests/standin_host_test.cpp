#include "standin/standin_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "host/host_object_header.h"
#include "standin/standin_instance.h"

namespace zephyx::standin {
namespace {

class StandInHostTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(host.leakReport(), ""); }

  int32_t toInteger(const HostValue& value, HostStatus* status = nullptr) {
    int32_t out = -1;
    const HostStatus result = host.values().valueToInteger(&value, &out);
    if (status != nullptr) *status = result;
    return out;
  }
  double toDouble(const HostValue& value, HostStatus* status = nullptr) {
    double out = -1;
    const HostStatus result = host.values().valueToDouble(&value, &out);
    if (status != nullptr) *status = result;
    return out;
  }

  StandInHost host;
};

TEST_F(StandInHostTest, IntegerConversionRoundsHalvesAwayFromZeroAndSaturates) {
  struct Case {
    double input;
    int32_t expected;
  } cases[] = {
      {2.5, 3},
      {-2.5, -3},
      {2.4999, 2},
      {-0.5, -1},
      {1e12, std::numeric_limits<int32_t>::max()},
      {-1e12, std::numeric_limits<int32_t>::min()},
      {std::numeric_limits<double>::infinity(), std::numeric_limits<int32_t>::max()},
      {std::nan(""), 0},
  };
  for (const Case& c : cases) {
    OwnedValue value = host.own(host.makeFloat(c.input));
    HostStatus status = -1;
    EXPECT_EQ(toInteger(value.get(), &status), c.expected) << c.input;
    EXPECT_EQ(status, StatusOk);
  }
}

TEST_F(StandInHostTest, StringConversionsReadTheLeadingNumber) {
  struct Case {
    const char* text;
    int32_t integer;
    double number;
    bool hasNumber;
  } cases[] = {
      {"512", 512, 512.0, true},
      {"  -42abc", -42, -42.0, true},
      {"3.75 volts", 3, 3.75, true},
      {"1e3", 1, 1000.0, true},
      {"99999999999", std::numeric_limits<int32_t>::max(), 99999999999.0, true},
      {"abc", 0, 0.0, false},
      {"", 0, 0.0, false},
      {".5", 0, 0.5, true},
  };
  for (const Case& c : cases) {
    OwnedValue value = host.own(host.makeString(c.text));
    HostStatus status = StatusOk;
    EXPECT_EQ(toInteger(value.get()), c.integer) << c.text;
    EXPECT_EQ(toDouble(value.get(), &status), c.number) << c.text;
    EXPECT_EQ(status == StatusOk, c.hasNumber) << c.text;
  }
}

TEST_F(StandInHostTest, OtherKindsConvertToZeroWithAFailure) {
  OwnedValue symbol = host.own(host.makeSymbol("int32"));
  OwnedValue list = host.own(host.makeList({}));
  OwnedValue integer = host.own(host.makeInteger(7));
  for (const HostValue* value : {symbol.ptr(), list.ptr(), &VoidValue}) {
    HostStatus status = StatusOk;
    EXPECT_EQ(toInteger(*value, &status), 0);
    EXPECT_NE(status, StatusOk);
    EXPECT_EQ(toDouble(*value, &status), 0.0);
    EXPECT_NE(status, StatusOk);

    char buffer[8] = "xxxxxxx";
    EXPECT_NE(host.values().copyString(value, buffer, sizeof buffer), StatusOk);
    EXPECT_STREQ(buffer, "");
    char* bytes = nullptr;
    EXPECT_NE(host.values().lockString(value, &bytes), StatusOk);
    ASSERT_NE(bytes, nullptr) << "never a null pointer";
    EXPECT_STREQ(bytes, "");
    int32_t length = -1;
    EXPECT_NE(host.values().stringLength(value, &length), StatusOk);
    EXPECT_EQ(length, 0);
  }
  EXPECT_EQ(toDouble(integer.get()), 7.0);
  HostSymbol name = NoSymbol;
  EXPECT_EQ(host.values().valueToSymbol(symbol.ptr(), &name), StatusOk);
  EXPECT_EQ(host.symbolName(name), "int32");
  EXPECT_NE(host.values().valueToSymbol(integer.ptr(), &name), StatusOk);
  EXPECT_EQ(name, NoSymbol);
}

TEST_F(StandInHostTest, StringsKeepNulBytesAndCopyStringTruncates) {
  OwnedValue text = host.own(host.makeString(std::string("a\0b\0c", 5)));
  int32_t length = 0;
  host.values().stringLength(text.ptr(), &length);
  EXPECT_EQ(length, 5);

  char* bytes = nullptr;
  ASSERT_EQ(host.values().lockString(text.ptr(), &bytes), StatusOk);
  EXPECT_EQ(std::memcmp(bytes, "a\0b\0c", 6), 0) << "bytes, then a NUL";
  bytes[1] = 'X';  // writable until unlocked
  EXPECT_EQ(host.values().unlockString(text.ptr()), StatusOk);
  EXPECT_EQ(host.format(text.get()), "\"aXb\\x00c\"");

  OwnedValue longText = host.own(host.makeString("abcdefgh"));
  char buffer[5];
  host.values().copyString(longText.ptr(), buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "abcd");
}

TEST_F(StandInHostTest, SymbolsAreCaseInsensitiveAndSpeltAsFirstInterned) {
  HostSymbol first = NoSymbol;
  HostSymbol second = NoSymbol;
  host.values().stringToSymbol("Int32", &first);
  host.values().stringToSymbol("int32", &second);
  EXPECT_NE(first, NoSymbol);
  EXPECT_EQ(first, second);
  EXPECT_EQ(host.symbolName(second), "Int32");
  HostSymbol other = NoSymbol;
  host.values().stringToSymbol("float32", &other);
  EXPECT_NE(other, first);
}

TEST_F(StandInHostTest, PropertyListsKeepRepeatedKeysInOrder) {
  IHostLists& lists = host.lists();
  OwnedValue props = host.own(VoidValue);
  lists.newPropList(props.out());
  for (int32_t i = 1; i <= 3; ++i) {
    OwnedValue key = host.own(host.makeSymbol("int32"));
    OwnedValue value = host.own(host.makeInteger(i));
    EXPECT_EQ(lists.addProp(props.ptr(), key.ptr(), value.ptr()), StatusOk);
  }
  int32_t count = 0;
  lists.listCount(props.ptr(), &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(host.format(props.get()), "[#int32: 1, #int32: 2, #int32: 3]");

  OwnedValue name = host.own(VoidValue);
  OwnedValue value = host.own(VoidValue);
  EXPECT_EQ(lists.propNameAt(props.ptr(), 2, name.out()), StatusOk);
  EXPECT_EQ(lists.listGetAt(props.ptr(), 2, value.out()), StatusOk);
  EXPECT_EQ(host.format(name.get()), "#int32");
  EXPECT_EQ(host.format(value.get()), "2");

  EXPECT_NE(lists.listGetAt(props.ptr(), 0, value.out()), StatusOk);
  EXPECT_NE(lists.listGetAt(props.ptr(), 4, value.out()), StatusOk);
  EXPECT_TRUE(sameValue(value.get(), VoidValue));
  OwnedValue plain = host.own(host.makeList({}));
  EXPECT_NE(lists.propNameAt(plain.ptr(), 1, name.out()), StatusOk);
  EXPECT_NE(lists.appendToList(props.ptr(), value.ptr()), StatusOk) << "not a list";
}

TEST_F(StandInHostTest, ContainersHoldTheirOwnReferences) {
  OwnedValue list = host.own(VoidValue);
  host.lists().newList(list.out());
  {
    OwnedValue element = host.own(host.makeString("kept"));
    host.lists().appendToList(list.ptr(), element.ptr());
  }
  EXPECT_EQ(host.valueTable().liveCount(), 2) << "the list keeps its element alive";
  EXPECT_EQ(host.format(list.get()), "[\"kept\"]");
  list.reset();
  EXPECT_EQ(host.valueTable().liveCount(), 0);
}

TEST_F(StandInHostTest, ByteArraysAreObjectsWithALength) {
  OwnedValue bytes = host.own(VoidValue);
  const uint8_t data[] = {0x41, 0x00, 0xc8};
  ASSERT_EQ(host.objects().newByteArray(data, 3, bytes.out()), StatusOk);
  int32_t kind = 0;
  host.values().valueType(bytes.ptr(), &kind);
  EXPECT_EQ(kind, KindByteArray);
  EXPECT_EQ(host.format(bytes.get()), "<bytes 41 00 c8>");

  IMoaUnknown* object = nullptr;
  ASSERT_EQ(host.objects().valueToObject(bytes.ptr(), &object), StatusOk);
  IHostByteArray* array = nullptr;
  ASSERT_EQ(object->queryInterface(&hostids::ByteArray, reinterpret_cast<void**>(&array)),
            StatusOk);
  HostSymbol length = NoSymbol;
  host.values().stringToSymbol("length", &length);
  OwnedValue size = host.own(VoidValue);
  ASSERT_EQ(array->getProp(length, size.out()), StatusOk);
  EXPECT_EQ(toInteger(size.get()), 3);
  uint8_t* contents = nullptr;
  ASSERT_EQ(array->getBytes(&contents), StatusOk);
  EXPECT_EQ(std::memcmp(contents, data, 3), 0);
  EXPECT_EQ(host.objects().liveObjects(), 1);
  array->release();
  object->release();
  EXPECT_EQ(host.objects().liveObjects(), 0);

  OwnedValue text = host.own(host.makeString("no object"));
  EXPECT_NE(host.objects().valueToObject(text.ptr(), &object), StatusOk);
  EXPECT_EQ(object, nullptr);
}

TEST_F(StandInHostTest, AByteArrayThatCannotBeWrittenStaysEmpty) {
  host.objects().failByteArrayWrites(true);
  OwnedValue bytes = host.own(VoidValue);
  const uint8_t data[] = {1, 2, 3};
  EXPECT_NE(host.objects().newByteArray(data, 3, bytes.out()), StatusOk);
  EXPECT_EQ(host.format(bytes.get()), "<bytes>");
}

TEST_F(StandInHostTest, ScriptContextCallsHandlersWithAndWithoutTarget) {
  StandInScriptContext& context = host.scriptContext();
  int plainCalls = 0;
  int targetCalls = 0;
  context.setHandler("onOsc", [&](const HandlerCall& call) {
    ++plainCalls;
    EXPECT_EQ(call.count, 2);
    return StatusOk;
  });
  context.setObjectHandler("receiver", "onOsc", [&](const HandlerCall& call) {
    ++targetCalls;
    EXPECT_EQ(call.count, 3);
    return StatusOk;
  });

  HostSymbol handler = NoSymbol;
  host.values().stringToSymbol("onOsc", &handler);
  OwnedValue target = host.own(host.makeObject("receiver"));
  OwnedValue head = host.own(host.makeString("/a"));
  OwnedValue body = host.own(host.makeList({}));
  const HostValue withTarget[] = {target.get(), head.get(), body.get()};
  const HostValue withoutTarget[] = {head.get(), body.get()};

  EXPECT_EQ(context.callHandler(handler, 3, withTarget, nullptr), StatusOk);
  EXPECT_EQ(context.callHandler(handler, 2, withoutTarget, nullptr), StatusOk);
  EXPECT_EQ(targetCalls, 1);
  EXPECT_EQ(plainCalls, 1);
  ASSERT_EQ(context.calls().size(), 2u);
  EXPECT_EQ(context.calls()[0].text, "<object receiver>, \"/a\", []");
  EXPECT_EQ(context.calls()[1].handler, "onOsc");

  HostSymbol missing = NoSymbol;
  host.values().stringToSymbol("nobody", &missing);
  EXPECT_NE(context.callHandler(missing, 2, withoutTarget, nullptr), StatusOk);
  context.failCalls(true);
  EXPECT_NE(context.callHandler(handler, 2, withoutTarget, nullptr), StatusOk);
  EXPECT_EQ(plainCalls, 1) << "a failing context calls nothing";
  context.clearCalls();
}

TEST_F(StandInHostTest, RecordedCopiesKeepArgumentsAliveUntilCleared) {
  StandInScriptContext& context = host.scriptContext();
  context.recordCopies(true);
  context.setHandler("h", [](const HandlerCall&) { return StatusOk; });
  HostSymbol handler = NoSymbol;
  host.values().stringToSymbol("h", &handler);
  {
    OwnedValue argument = host.own(host.makeString("x"));
    context.callHandler(handler, 1, argument.ptr(), nullptr);
  }
  ASSERT_EQ(context.calls().size(), 1u);
  ASSERT_EQ(context.calls()[0].copies.size(), 1u);
  EXPECT_EQ(host.format(context.calls()[0].copies[0]), "\"x\"");
  EXPECT_EQ(host.valueTable().liveCount(), 1);

  // Past the limit the oldest calls go, and with them their copies.
  context.setRecordLimit(2);
  for (int32_t i = 2; i <= 4; ++i) {
    OwnedValue argument = host.own(host.makeInteger(i));
    context.callHandler(handler, 1, argument.ptr(), nullptr);
  }
  ASSERT_EQ(context.calls().size(), 2u);
  EXPECT_EQ(context.calls()[0].text, "3");
  EXPECT_EQ(context.calls()[1].text, "4");
  EXPECT_EQ(context.forgottenCalls(), 2);
  EXPECT_EQ(host.valueTable().liveCount(), 2);
  context.setRecordLimit(0);
  EXPECT_TRUE(context.calls().empty());
  EXPECT_EQ(host.valueTable().liveCount(), 0);
  context.clearCalls();
}

TEST_F(StandInHostTest, CallGuardCountsSavesAndMatchesRestores) {
  IHostScriptContextSource* source = nullptr;
  ASSERT_EQ(host.broker().queryService(&hostids::ScriptContextSourceService,
                                       reinterpret_cast<void**>(&source)),
            StatusOk);
  IHostScriptContext* context = nullptr;
  source->getScriptContext(&context);
  IHostCallGuard* guard = nullptr;
  ASSERT_EQ(context->queryInterface(&hostids::CallGuard, reinterpret_cast<void**>(&guard)),
            StatusOk);

  CallGuardState outer{};
  CallGuardState inner{};
  guard->saveCallContext(&outer);
  guard->saveCallContext(&inner);
  EXPECT_EQ(guard->restoreCallContext(&inner), StatusOk);
  EXPECT_EQ(guard->restoreCallContext(&outer), StatusOk);
  EXPECT_NE(guard->restoreCallContext(&outer), StatusOk) << "restored twice";
  EXPECT_EQ(host.scriptContext().saves(), 2);
  EXPECT_EQ(host.scriptContext().restores(), 3);
  EXPECT_EQ(host.scriptContext().unmatchedRestores(), 1);

  EXPECT_EQ(host.serviceReferences(), 3);
  guard->release();
  context->release();
  source->release();
  EXPECT_EQ(host.serviceReferences(), 0);
}

// A notification client that counts its calls and can run an action
// during one.
class CountingClient final : public IMoaNotificationClient {
 public:
  HostStatus ZX_CALL queryInterface(const HostGuid*, void** out) noexcept override {
    *out = nullptr;
    return ResultNoInterface;
  }
  uint32_t ZX_CALL addRef() noexcept override { return ++references; }
  uint32_t ZX_CALL release() noexcept override { return --references; }
  HostStatus ZX_CALL notify(const HostGuid*, void*, void* refcon) noexcept override {
    ++calls;
    lastRefcon = refcon;
    if (duringNotify) duringNotify();
    return StatusOk;
  }

  uint32_t references = 1;
  int calls = 0;
  void* lastRefcon = nullptr;
  std::function<void()> duringNotify;
};

TEST_F(StandInHostTest, PumpNotifiesRegisteredClientsAndSkipsOnesUnregisteredDuringThePass) {
  StandInNotifications& notifications = host.notifications();
  CountingClient first;
  CountingClient second;
  int refcon = 0;
  notifications.registerNotificationClient(&first, &refcon);
  notifications.registerNotificationClient(&second, nullptr);
  EXPECT_EQ(first.references, 2u) << "the registration holds a reference";

  EXPECT_EQ(host.pump(), 2);
  EXPECT_EQ(first.lastRefcon, &refcon);

  first.duringNotify = [&] {
    EXPECT_EQ(first.references, 3u) << "the pass holds its own reference";
    notifications.unregisterNotificationClient(&second);
  };
  EXPECT_EQ(host.pump(), 1);
  EXPECT_EQ(second.calls, 1) << "unregistered during the pass, so not called";
  EXPECT_EQ(second.references, 1u);

  first.duringNotify = [&] { notifications.unregisterNotificationClient(&first); };
  host.pump();
  EXPECT_EQ(first.references, 1u) << "the pass let go of the client it unregistered";
  EXPECT_EQ(host.pump(), 0);
  EXPECT_NE(notifications.unregisterNotificationClient(&first), StatusOk);
}

// A class built by hand, as a test would before the library's exports exist.
struct TestRecord {
  HostObjectHeader header;
  IHostValues* values;
  int created;
};

HostStatus ZX_CALL createTestRecord(void* record) noexcept {
  auto* test = static_cast<TestRecord*>(record);
  if (test->values != nullptr || test->created != 0) return ResultHostFailure;  // zero-filled
  test->created = 1;
  return test->header.broker->queryService(&hostids::ValueService,
                                           reinterpret_cast<void**>(&test->values));
}

HostStatus ZX_CALL destroyTestRecord(void* record) noexcept {
  auto* test = static_cast<TestRecord*>(record);
  if (test->values != nullptr) test->values->release();
  return StatusOk;
}

// An interface object that holds a reference on its instance.
class TestInterface final : public IMoaUnknown {
 public:
  explicit TestInterface(IMoaUnknown* owner) : owner_(owner) { owner_->addRef(); }
  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override {
    return owner_->queryInterface(id, out);
  }
  uint32_t ZX_CALL addRef() noexcept override { return ++references_; }
  uint32_t ZX_CALL release() noexcept override {
    const uint32_t left = --references_;
    if (left == 0) {
      IMoaUnknown* owner = owner_;
      delete this;
      owner->release();
    }
    return left;
  }

 private:
  IMoaUnknown* owner_;
  uint32_t references_ = 1;
};

const HostGuid TestClassId = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
const HostGuid TestInterfaceId = {{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}};

StandInClass testClass() {
  StandInClass cls;
  cls.classId = TestClassId;
  cls.instanceSize = sizeof(TestRecord);
  cls.create = createTestRecord;
  cls.destroy = destroyTestRecord;
  cls.getInterface = [](void* record, const HostGuid& id, void** out) -> HostStatus {
    *out = nullptr;
    if (id != TestInterfaceId) return ResultNoInterface;
    *out = new TestInterface(static_cast<TestRecord*>(record)->header.object);
    return StatusOk;
  };
  return cls;
}

TEST_F(StandInHostTest, CreateObjectMakesAnInstanceThatLivesAsLongAsItsInterfaces) {
  host.addClass(testClass());
  IMoaUnknown* object = nullptr;
  ASSERT_EQ(
      host.broker().createObject(&TestClassId, &TestInterfaceId, reinterpret_cast<void**>(&object)),
      StatusOk);
  EXPECT_EQ(host.liveInstances(), 1);
  EXPECT_EQ(host.values().references(), 1) << "the creation callback took the value service";

  IMoaUnknown* second = nullptr;
  ASSERT_EQ(object->queryInterface(&TestInterfaceId, reinterpret_cast<void**>(&second)), StatusOk);
  object->release();
  EXPECT_EQ(host.liveInstances(), 1) << "the second interface still holds the instance";
  second->release();
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(host.values().references(), 0) << "the destruction callback ran";

  const HostGuid otherClass = {{0}};
  EXPECT_EQ(
      host.broker().createObject(&otherClass, &TestInterfaceId, reinterpret_cast<void**>(&object)),
      ResultNoClass);
  EXPECT_EQ(
      host.broker().createObject(&TestClassId, &TestClassId, reinterpret_cast<void**>(&object)),
      ResultNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(host.liveInstances(), 0) << "an instance without an interface goes at once";
}

TEST_F(StandInHostTest, AFailingCreationCallbackStillRunsTheDestructionCallback) {
  host.addClass(testClass());
  host.broker().failService(hostids::ValueService, true);
  IMoaUnknown* object = nullptr;
  EXPECT_NE(
      host.broker().createObject(&TestClassId, &TestInterfaceId, reinterpret_cast<void**>(&object)),
      StatusOk);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(host.liveInstances(), 0);
  host.broker().failService(hostids::ValueService, false);
  IHostValues* values = nullptr;
  EXPECT_EQ(host.broker().queryService(&hostids::ValueService, reinterpret_cast<void**>(&values)),
            StatusOk);
  values->release();
}

// These two tests make faults on purpose, so they check the counts themselves.
TEST(StandInHostFaults, MemoryCountsBlocksAndFailsOnRequest) {
  StandInHost host;
  StandInMemory& memory = host.memory();
  void* a = memory.allocate(16);
  ASSERT_NE(a, nullptr);
  memory.failNextAllocations(2);
  EXPECT_EQ(memory.allocate(16), nullptr);
  EXPECT_EQ(memory.allocate(16), nullptr);
  void* b = memory.allocate(16);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(memory.outstandingBlocks(), 2);
  memory.freeMemory(a);
  memory.freeMemory(b);
  memory.freeMemory(b);
  EXPECT_EQ(memory.invalidFrees(), 1);
  EXPECT_EQ(memory.outstandingBlocks(), 0);
  memory.freeMemory(nullptr);
  EXPECT_EQ(memory.invalidFrees(), 1);
}

TEST_F(StandInHostTest, RegistryKeepsStoredValuesAndFailsOnRequest) {
  StandInRegistryCache& registry = host.registry();
  IHostRegistryEntry* entry = nullptr;
  ASSERT_EQ(registry.addRegistryEntry(nullptr, &TestClassId, &TestInterfaceId, &entry), StatusOk);
  EXPECT_EQ(entry->putEntryValue(RegistryKindText, "line 1\nline 2\n", 0, "msgTable"), StatusOk);
  const uint8_t yes = 1;
  EXPECT_EQ(entry->putEntryValue(RegistryKindBoolean, &yes, 1, "safe"), StatusOk);
  const StandInRegistryEntry& stored = *registry.entries().at(0);
  ASSERT_NE(stored.find("msgTable"), nullptr);
  EXPECT_EQ(stored.find("msgTable")->bytes, "line 1\nline 2\n");
  EXPECT_EQ(stored.find("safe")->bytes, std::string(1, '\1'));
  EXPECT_EQ(stored.find("safe")->kind, RegistryKindBoolean);

  registry.failPutEntry("msgTable");
  EXPECT_NE(entry->putEntryValue(RegistryKindText, "other", 0, "msgTable"), StatusOk);
  EXPECT_EQ(stored.find("msgTable")->bytes, "line 1\nline 2\n");
  registry.failAddEntry(true);
  EXPECT_NE(registry.addRegistryEntry(nullptr, &TestClassId, &TestInterfaceId, &entry), StatusOk);
  EXPECT_EQ(entry, nullptr);
}

TEST_F(StandInHostTest, VersionTextAsLongAsTheBufferArrivesWithoutItsNul) {
  char buffer[AppVersionBufferSize + 1];
  std::memset(buffer, '#', sizeof buffer);
  host.appInfo().setVersionText(std::string(40, '9'));
  ASSERT_EQ(host.appInfo().getInfo(AppInfoVersionString, buffer, AppVersionBufferSize), StatusOk);
  EXPECT_EQ(buffer[AppVersionBufferSize - 1], '9');
  EXPECT_EQ(buffer[AppVersionBufferSize], '#') << "nothing written past the buffer";

  host.appInfo().setVersionText("11.5");
  host.appInfo().getInfo(AppInfoVersionString, buffer, AppVersionBufferSize);
  EXPECT_STREQ(buffer, "11.5");
  EXPECT_NE(host.appInfo().getInfo(1, buffer, AppVersionBufferSize), StatusOk);
}

TEST(StandInHostFaults, LeakReportNamesWhatIsLeftOver) {
  StandInHost host;
  const HostValue leaked = host.makeInteger(1);
  void* block = host.memory().allocate(4);
  const std::string report = host.leakReport();
  EXPECT_NE(report.find("live values: 1"), std::string::npos) << report;
  EXPECT_NE(report.find("memory blocks outstanding: 1"), std::string::npos) << report;
  host.release(leaked);
  host.release(leaked);
  EXPECT_NE(host.leakReport().find("values released twice: 1"), std::string::npos);
  host.memory().freeMemory(block);
  EXPECT_EQ(host.leakReport(), "values released twice: 1\n");
}

// Any thread may make, build and release values; conversions and handler
// calls belong to the host thread, and the leak report says when another
// thread made one.
TEST(StandInHostFaults, HostThreadOnlyCallsFromAnotherThreadAreReported) {
  StandInHost host;
  const HostValue number = host.makeInteger(7);
  std::thread other([&] {
    HostValue made = VoidValue;
    host.values().integerToValue(1, &made);
    host.values().releaseValue(&made);
    EXPECT_EQ(host.hostCalls().offHostThread(), 0) << "values made and given back on any thread";
    int32_t out = 0;
    host.values().valueToInteger(&number, &out);
    CallGuardState state{};
    host.scriptContext().saveCallContext(&state);
    host.scriptContext().restoreCallContext(&state);
  });
  other.join();
  host.release(number);
  EXPECT_EQ(host.leakReport(), "host-thread-only calls from other threads: 3\n");
}

}  // namespace
}  // namespace zephyx::standin
