// The stand-in host: a complete, thread-safe implementation of the host
// contract, for the tests, the command-line host and the benchmarks.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/owned_value.h"
#include "standin/host_calls.h"
#include "standin/library_loader.h"
#include "standin/standin_app_info.h"
#include "standin/standin_broker.h"
#include "standin/standin_class.h"
#include "standin/standin_lists.h"
#include "standin/standin_memory.h"
#include "standin/standin_notifications.h"
#include "standin/standin_objects.h"
#include "standin/standin_registry.h"
#include "standin/standin_script_context.h"
#include "standin/standin_values.h"
#include "standin/symbol_table.h"
#include "standin/value_notation.h"
#include "standin/value_table.h"

namespace zephyx::standin {

class StandInHost {
 public:
  StandInHost();
  ~StandInHost();
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  // The services, as the library reaches them through the broker.
  StandInBroker& broker() { return broker_; }
  StandInMemory& memory() { return memory_; }
  StandInAppInfo& appInfo() { return appInfo_; }
  StandInValues& values() { return values_; }
  StandInLists& lists() { return lists_; }
  StandInObjects& objects() { return objects_; }
  StandInScriptContext& scriptContext() { return scriptContext_; }
  const StandInScriptContext& scriptContext() const { return scriptContext_; }
  StandInNotifications& notifications() { return notifications_; }
  StandInRegistryCache& registry() { return registry_; }
  ValueTable& valueTable() { return table_; }
  const ValueTable& valueTable() const { return table_; }
  SymbolTable& symbols() { return symbols_; }
  // Service calls so far, and the host-thread-only ones made elsewhere.
  HostCalls& hostCalls() { return calls_; }
  const HostCalls& hostCalls() const { return calls_; }

  // Values for tests and tools. Each carries one reference owned by the caller.
  HostValue makeInteger(int32_t number);
  HostValue makeFloat(double number);
  HostValue makeString(std::string_view bytes);
  HostValue makeSymbol(std::string_view name);
  HostValue makeByteArray(const std::vector<uint8_t>& bytes);
  // A script object: a target for handlers set with setObjectHandler.
  HostValue makeObject(std::string_view name);
  // The containers adopt the references of their elements.
  HostValue makeList(const std::vector<HostValue>& elements);
  HostValue makePropList(const std::vector<std::pair<HostValue, HostValue>>& pairs);
  // Empties a list or property list, releasing what it held; the way to
  // break a list that holds itself.
  void clearContainer(const HostValue& container);

  OwnedValue own(const HostValue& value) { return OwnedValue::adopt(&values_, value); }
  void release(const HostValue& value) { table_.release(value); }
  std::string format(const HostValue& value) const;
  // The same, appended to `out`.
  void appendFormatted(std::string& out, const HostValue& value) const;
  // The value owned by the caller, or the parser's error.
  lingo::ParseResult parse(std::string_view text);
  std::string symbolName(HostSymbol symbol) const { return symbols_.name(symbol); }

  // Loads an extension library through its exports, adds its classes and
  // registers them against the registry cache, as the host does when it
  // builds its registry of extensions. False, with the loader's message in
  // *error, when the library cannot be loaded.
  bool loadLibrary(const std::string& path, std::string* error);
  const std::vector<std::unique_ptr<LoadedLibrary>>& libraries() const { return libraries_; }
  // Unloads the libraries, and forgets their classes, as the host does once
  // every library's DllCanUnloadNow answers 0. False, with nothing unloaded,
  // when one refuses.
  bool unloadLibraries();
  // What registering the class answered.
  HostStatus registrationStatus() const { return registrationStatus_; }
  // The registry entry that `classId` wrote, or null.
  const StandInRegistryEntry* registeredEntry(const HostGuid& classId) const;

  // Classes and their instances.
  void addClass(StandInClass cls);
  // The class that the two functions describe (see describeClass); false
  // when DllGetClassForm refuses it.
  bool addClass(const HostGuid& classId, DllGetClassFormFn getClassForm,
                DllGetInterfaceFn getInterface);
  const StandInClass* findClass(const HostGuid& classId) const;
  // A new instance of the class and a new reference to its interface.
  HostStatus createObject(const HostGuid& classId, const HostGuid& interfaceId, void** out);
  int64_t liveInstances() const { return liveInstances_.load(std::memory_order_acquire); }

  // One pass of the host loop (see StandInNotifications::pump).
  int pump() { return notifications_.pump(); }

  // References held on services and the script context.
  int32_t serviceReferences() const;
  // Releases of service references that were never handed out.
  int32_t serviceOverReleases() const;
  // Empty when nothing is left over (no live value, block, object, open
  // string lock, service reference or instance), nothing was released
  // twice, and no host-thread-only call came from another thread.
  std::string leakReport() const;

 private:
  friend class StandInInstance;
  void instanceCreated() { liveInstances_.fetch_add(1, std::memory_order_acq_rel); }
  void instanceDestroyed() { liveInstances_.fetch_sub(1, std::memory_order_acq_rel); }

  // First, so that the libraries are unloaded only after everything that
  // may still hold their objects is gone.
  std::vector<std::unique_ptr<LoadedLibrary>> libraries_;
  HostStatus registrationStatus_ = StatusOk;
  HostCalls calls_;
  ValueTable table_;
  SymbolTable symbols_;
  StandInMemory memory_;
  StandInAppInfo appInfo_;
  StandInValues values_;
  StandInLists lists_;
  StandInObjects objects_;
  StandInScriptContext scriptContext_;
  StandInScriptContextSource contextSource_;
  StandInNotifications notifications_;
  StandInRegistryCache registry_;
  StandInBroker broker_;
  std::vector<std::unique_ptr<StandInClass>> classes_;
  std::atomic<int64_t> liveInstances_{0};
};

}  // namespace zephyx::standin
