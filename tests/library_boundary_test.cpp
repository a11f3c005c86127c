// The library as the host sees it: its exports, its interface objects and
// its registration, loaded from the shared library by the stand-in host.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "host/host_ids.h"
#include "host/host_object_header.h"
#include "host/host_registry.h"
#include "host/host_status.h"
#include "standin/library_loader.h"
#include "tests/support/host_fixture.h"
#include "zephyx_version.h"

namespace zephyx {
namespace {

using standin::LoadedLibrary;

const std::string ExpectedMessageTable =
    std::string("xtra Zephyx -- version ") + VersionMajorText + "." + VersionMinorText + "\n" +
    "new object me, *bufferSize\n"
    "/forget object me\n"
    "setDestination object me, string host, integer port\n"
    "send object me, object messageOrBundle\n"
    "startListening object me, integer port, integer asPropList, symbol cbHandler, *cbTarget\n"
    "stopListening object me\n"
    "lastSender object me\n"
    "reply object me, object messageOrBundle\n"
    "sendFromListener object me, object messageOrBundle\n"
    "addRoute object me, string addressPattern, symbol cbHandler, *cbTarget\n"
    "removeRoute object me, string addressPattern\n"
    "joinGroup object me, string group, *interfaceAddress\n"
    "leaveGroup object me, string group, *interfaceAddress\n"
    "setMulticast object me, integer ttl, *interfaceAddress\n"
    "connectStream object me, string host, integer port, symbol framing, symbol cbHandler, "
    "*cbTarget\n"
    "sendStream object me, object messageOrBundle\n"
    "disconnectStream object me\n";

constexpr uint32_t ClassVersion =
    (VersionMajor << 24) | (VersionMinor << 16) | (VersionPatch << 8) | 0xC0;

class LibraryBoundaryTest : public testsupport::HostFixture {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host.loadLibrary(ZEPHYX_LIBRARY_PATH, &error)) << error;
    library = host.libraries().front().get();
  }

  LoadedLibrary* library = nullptr;
};

// The host's own object behind an instance record, counting its references.
class CountingOwner final : public IMoaUnknown {
 public:
  HostStatus ZX_CALL queryInterface(const HostGuid*, void** out) noexcept override {
    *out = nullptr;
    return ResultNoInterface;
  }
  uint32_t ZX_CALL addRef() noexcept override { return ++references; }
  uint32_t ZX_CALL release() noexcept override { return --references; }
  uint32_t references = 1;
};

// An instance record made by hand, so that the owner's references can be
// counted as interface objects come and go.
class HandMadeInstance {
 public:
  HandMadeInstance(standin::StandInHost& host, const LoadedLibrary& library) : library_(library) {
    int32_t size = 0;
    library.getClassForm(nullptr, &size, &create_, &destroy_);
    record_.assign(static_cast<size_t>(size), 0);
    auto* header = reinterpret_cast<HostObjectHeader*>(record_.data());
    header->object = &owner;
    header->broker = &host.broker();
    header->memory = &host.memory();
    status = create_(record_.data());
  }
  ~HandMadeInstance() { destroy_(record_.data()); }

  HostStatus getInterface(const HostGuid& id, void** out, const HostGuid* classId = nullptr) {
    return library_.getInterface(record_.data(), classId, &id, out);
  }

  CountingOwner owner;
  HostStatus status = -1;

 private:
  const LoadedLibrary& library_;
  std::vector<uint8_t> record_;
  CreateInstanceFn create_ = nullptr;
  DestroyInstanceFn destroy_ = nullptr;
};

TEST_F(LibraryBoundaryTest, ClassFormAnswersForNoIdAndOurIdOnly) {
  int32_t size = 0;
  CreateInstanceFn create = nullptr;
  DestroyInstanceFn destroy = nullptr;
  EXPECT_EQ(library->getClassForm(nullptr, &size, &create, &destroy), StatusOk);
  EXPECT_GT(size, static_cast<int32_t>(sizeof(HostObjectHeader)));
  EXPECT_NE(create, nullptr);
  EXPECT_NE(destroy, nullptr);

  int32_t again = 0;
  EXPECT_EQ(library->getClassForm(&hostids::ZephyxClass, &again, &create, &destroy), StatusOk);
  EXPECT_EQ(again, size);

  int32_t untouched = -7;
  CreateInstanceFn noCreate = nullptr;
  EXPECT_EQ(library->getClassForm(&hostids::MmXScript, &untouched, &noCreate, &destroy),
            ResultNoClass);
  EXPECT_EQ(untouched, -7) << "outputs left alone";
  EXPECT_EQ(noCreate, nullptr);
}

TEST_F(LibraryBoundaryTest, InterfaceObjectsBalanceTheirOwnersReferences) {
  HandMadeInstance instance(host, *library);
  ASSERT_EQ(instance.status, StatusOk);
  ASSERT_EQ(library->canUnloadNow(), StatusOk);

  for (const HostGuid* id :
       {&hostids::Register, &hostids::MmXScript, &hostids::NotificationClient}) {
    IMoaUnknown* object = nullptr;
    ASSERT_EQ(instance.getInterface(*id, reinterpret_cast<void**>(&object)), StatusOk);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(instance.owner.references, 3u) << "two owner references per new object";
    EXPECT_EQ(library->canUnloadNow(), ResultObjectsAlive);

    EXPECT_EQ(object->addRef(), 2u);
    EXPECT_EQ(instance.owner.references, 4u);
    EXPECT_EQ(object->release(), 1u);
    EXPECT_EQ(instance.owner.references, 3u);
    EXPECT_EQ(object->release(), 0u);
    EXPECT_EQ(instance.owner.references, 1u) << "back where it started";
    EXPECT_EQ(library->canUnloadNow(), StatusOk);
  }
  EXPECT_EQ(host.memory().outstandingBlocks(), 0) << "objects live in the host's memory";
}

TEST_F(LibraryBoundaryTest, UnknownInterfacesAndForeignClassesGiveNoInterface) {
  HandMadeInstance instance(host, *library);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(instance.getInterface(hostids::ValueService, &object), ResultNoInterface);
  EXPECT_EQ(instance.getInterface(hostids::MmXScript, &object, &hostids::ValueService),
            ResultNoInterface);
  EXPECT_EQ(instance.owner.references, 1u);
  EXPECT_EQ(library->canUnloadNow(), StatusOk);
}

TEST_F(LibraryBoundaryTest, QueryInterfaceOfAnObjectIsAnsweredByItsInstance) {
  IMoaMmXScript* script = nullptr;
  ASSERT_EQ(host.createObject(hostids::ZephyxClass, hostids::MmXScript,
                              reinterpret_cast<void**>(&script)),
            StatusOk);
  IMoaRegister* registration = nullptr;
  ASSERT_EQ(script->queryInterface(&hostids::Register, reinterpret_cast<void**>(&registration)),
            StatusOk);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(script->queryInterface(&hostids::ValueService, &none), ResultNoInterface);
  EXPECT_EQ(none, nullptr);
  registration->release();
  script->release();
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(library->canUnloadNow(), StatusOk);
}

TEST_F(LibraryBoundaryTest, ClassInfoListsTheClassAndItsThreeInterfaces) {
  ClassInterfaceInfo* entries = nullptr;
  ASSERT_EQ(library->getClassInfo(&host.memory(), &entries), StatusOk);
  ASSERT_NE(entries, nullptr);
  const HostGuid zero{};
  const HostGuid* expected[] = {&hostids::ClassEntry, &hostids::Register, &hostids::MmXScript,
                                &hostids::NotificationClient};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(entries[i].classId == hostids::ZephyxClass) << i;
    EXPECT_EQ(entries[i].classVersion, ClassVersion) << i;
    EXPECT_TRUE(entries[i].interfaceId == *expected[i]) << i;
    EXPECT_EQ(entries[i].interfaceVersion, i == 0 ? 1u : ClassVersion) << i;
  }
  EXPECT_TRUE(entries[4].classId == zero);
  EXPECT_TRUE(entries[4].interfaceId == zero);
  host.memory().freeMemory(entries);

  host.memory().failNextAllocations(1);
  entries = reinterpret_cast<ClassInterfaceInfo*>(1);
  EXPECT_EQ(library->getClassInfo(&host.memory(), &entries), ResultOutOfMemory);
  EXPECT_EQ(entries, nullptr);
}

TEST_F(LibraryBoundaryTest, ClassObjectIsNeverOffered) {
  void* out = nullptr;
  EXPECT_EQ(library->getClassObject(nullptr, nullptr, nullptr), ResultNoClass);
  EXPECT_EQ(library->getClassObject(&hostids::ZephyxClass, &hostids::MmXScript, &out),
            ResultNoClass);
}

TEST_F(LibraryBoundaryTest, RegistrationStoresTheMessageTableAndShockwaveSafety) {
  EXPECT_EQ(host.registrationStatus(), StatusOk);
  const standin::StandInRegistryEntry* entry = host.registeredEntry(hostids::ZephyxClass);
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->interfaceId() == hostids::MmXScript);
  const standin::RegistryValue* table = entry->find("msgTable");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->kind, RegistryKindText);
  EXPECT_EQ(table->bytes, ExpectedMessageTable);
  const standin::RegistryValue* safe = entry->find("safeForShockwave");
  ASSERT_NE(safe, nullptr);
  EXPECT_EQ(safe->kind, RegistryKindBoolean);
  EXPECT_EQ(safe->bytes, std::string(1, '\x01'));
}

// Registers again through a registration object of a fresh instance.
HostStatus registerAgain(standin::StandInHost& host) {
  IMoaRegister* registration = nullptr;
  const HostStatus created = host.createObject(hostids::ZephyxClass, hostids::Register,
                                               reinterpret_cast<void**>(&registration));
  if (created != StatusOk) return created;
  const HostStatus status = registration->register_(&host.registry(), nullptr);
  registration->release();
  return status;
}

TEST_F(LibraryBoundaryTest, RegistrationStopsAtTheFirstFailingStore) {
  host.registry().failPutEntry("msgTable");
  const size_t before = host.registry().entries().size();
  EXPECT_NE(registerAgain(host), StatusOk);
  ASSERT_EQ(host.registry().entries().size(), before + 1);
  const standin::StandInRegistryEntry& entry = *host.registry().entries().back();
  EXPECT_EQ(entry.find("msgTable"), nullptr);
  EXPECT_EQ(entry.find("safeForShockwave"), nullptr) << "not stored after the failure";
  // The teardown's leak check shows the table's block was freed.
}

TEST_F(LibraryBoundaryTest, RegistrationFailsCleanlyWithoutMemoryOrEntry) {
  host.registry().failAddEntry(true);
  EXPECT_NE(registerAgain(host), StatusOk);
  host.registry().failAddEntry(false);

  // The registration object takes one block; its table the next.
  IMoaRegister* registration = nullptr;
  ASSERT_EQ(host.createObject(hostids::ZephyxClass, hostids::Register,
                              reinterpret_cast<void**>(&registration)),
            StatusOk);
  host.memory().failNextAllocations(1);
  EXPECT_EQ(registration->register_(&host.registry(), nullptr), ResultOutOfMemory);
  registration->release();
}

// A Windows DLL has a C++ runtime of its own, whose new-handler the host's
// std::set_new_handler does not reach.
#if !defined(_WIN32)
TEST_F(LibraryBoundaryTest, InterfaceCreationRetriesThroughTheNewHandler) {
  static int handlerCalls;
  handlerCalls = 0;
  // A handler that frees nothing; the allocator gives in on the fourth try.
  std::set_new_handler([] { ++handlerCalls; });
  host.memory().failNextAllocations(3);
  IMoaMmXScript* script = nullptr;
  EXPECT_EQ(host.createObject(hostids::ZephyxClass, hostids::MmXScript,
                              reinterpret_cast<void**>(&script)),
            StatusOk);
  EXPECT_EQ(handlerCalls, 3);
  ASSERT_NE(script, nullptr);
  script->release();

  std::set_new_handler([] { throw std::bad_alloc(); });
  host.memory().failNextAllocations(1);
  EXPECT_EQ(host.createObject(hostids::ZephyxClass, hostids::MmXScript,
                              reinterpret_cast<void**>(&script)),
            ResultOutOfMemory);
  EXPECT_EQ(script, nullptr);

  std::set_new_handler(nullptr);
  host.memory().failNextAllocations(1);
  EXPECT_EQ(host.createObject(hostids::ZephyxClass, hostids::MmXScript,
                              reinterpret_cast<void**>(&script)),
            ResultOutOfMemory);
  EXPECT_EQ(host.liveInstances(), 0);
  EXPECT_EQ(library->canUnloadNow(), StatusOk);
}
#endif

}  // namespace
}  // namespace zephyx
