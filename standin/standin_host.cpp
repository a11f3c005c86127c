#include "standin/standin_host.h"

#include <sstream>

#include "host/host_registry.h"
#include "standin/standin_instance.h"

namespace zephyx::standin {

StandInHost::StandInHost()
    : appInfo_(calls_),
      values_(table_, symbols_, calls_),
      lists_(table_, calls_),
      objects_(table_, symbols_, calls_),
      scriptContext_(table_, symbols_, calls_),
      contextSource_(scriptContext_, calls_),
      notifications_(calls_),
      broker_(*this) {
  broker_.addService(&appInfo_, hostids::AppInfoService);
  broker_.addService(&values_, hostids::ValueService);
  broker_.addService(&lists_, hostids::ListService);
  broker_.addService(&contextSource_, hostids::ScriptContextSourceService);
  broker_.addService(&objects_, hostids::ObjectService);
  broker_.addService(&notifications_, hostids::NotificationService);
}

StandInHost::~StandInHost() = default;

HostValue StandInHost::makeInteger(int32_t number) {
  return table_.make(StandInInteger, [&](ValueSlot& slot) { slot.integer = number; });
}

HostValue StandInHost::makeFloat(double number) {
  return table_.make(StandInFloat, [&](ValueSlot& slot) { slot.number = number; });
}

HostValue StandInHost::makeString(std::string_view bytes) {
  return table_.make(StandInString, [&](ValueSlot& slot) { slot.text.assign(bytes); });
}

HostValue StandInHost::makeSymbol(std::string_view name) {
  const HostSymbol symbol = symbols_.intern(name);
  return table_.make(StandInSymbol, [&](ValueSlot& slot) { slot.symbol = symbol; });
}

HostValue StandInHost::makeByteArray(const std::vector<uint8_t>& bytes) {
  return table_.make(StandInByteArray, [&](ValueSlot& slot) { slot.bytes = bytes; });
}

HostValue StandInHost::makeObject(std::string_view name) {
  return table_.make(StandInObject, [&](ValueSlot& slot) { slot.text.assign(name); });
}

HostValue StandInHost::makeList(const std::vector<HostValue>& elements) {
  return table_.make(StandInList, [&](ValueSlot& slot) { slot.items = elements; });
}

HostValue StandInHost::makePropList(const std::vector<std::pair<HostValue, HostValue>>& pairs) {
  return table_.make(StandInPropList, [&](ValueSlot& slot) {
    for (const auto& pair : pairs) {
      slot.keys.push_back(pair.first);
      slot.items.push_back(pair.second);
    }
  });
}

void StandInHost::clearContainer(const HostValue& container) {
  ValueSlot* slot = table_.find(container);
  if (slot == nullptr) return;
  std::vector<HostValue> held;
  held.swap(slot->items);
  held.insert(held.end(), slot->keys.begin(), slot->keys.end());
  slot->keys.clear();
  for (const HostValue& value : held) table_.release(value);
}

std::string StandInHost::format(const HostValue& value) const {
  return formatLingo(table_, symbols_, value);
}

void StandInHost::appendFormatted(std::string& out, const HostValue& value) const {
  appendLingo(out, table_, symbols_, value);
}

lingo::ParseResult StandInHost::parse(std::string_view text) {
  return parseLingo(table_, symbols_, text);
}

bool StandInHost::loadLibrary(const std::string& path, std::string* error) {
  std::unique_ptr<LoadedLibrary> library = LoadedLibrary::load(path, error);
  if (!library) return false;
  std::vector<HostGuid> classIds;
  for (const ClassInterfaceInfo& entry : library->classInfo(memory_)) {
    if (entry.interfaceId != hostids::ClassEntry) continue;
    if (addClass(entry.classId, library->getClassForm, library->getInterface)) {
      classIds.push_back(entry.classId);
    }
  }
  LoadedLibrary* definition = library.get();
  libraries_.push_back(std::move(library));
  for (const HostGuid& classId : classIds) {
    IMoaRegister* registration = nullptr;
    registrationStatus_ =
        createObject(classId, hostids::Register, reinterpret_cast<void**>(&registration));
    if (registration == nullptr) continue;
    registrationStatus_ = registration->register_(&registry_, definition);
    registration->release();
  }
  return true;
}

bool StandInHost::unloadLibraries() {
  for (const auto& library : libraries_) {
    if (library->canUnloadNow() != StatusOk) return false;
  }
  classes_.clear();
  libraries_.clear();
  return true;
}

const StandInRegistryEntry* StandInHost::registeredEntry(const HostGuid& classId) const {
  const StandInRegistryEntry* found = nullptr;
  for (const auto& entry : registry_.entries()) {
    if (entry->classId() == classId) found = entry.get();
  }
  return found;
}

void StandInHost::addClass(StandInClass cls) {
  classes_.push_back(std::make_unique<StandInClass>(std::move(cls)));
}

bool StandInHost::addClass(const HostGuid& classId, DllGetClassFormFn getClassForm,
                           DllGetInterfaceFn getInterface) {
  StandInClass cls;
  if (!describeClass(classId, getClassForm, getInterface, &cls)) return false;
  addClass(std::move(cls));
  return true;
}

const StandInClass* StandInHost::findClass(const HostGuid& classId) const {
  for (const auto& cls : classes_) {
    if (cls->classId == classId) return cls.get();
  }
  return nullptr;
}

HostStatus StandInHost::createObject(const HostGuid& classId, const HostGuid& interfaceId,
                                     void** out) {
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  const StandInClass* cls = findClass(classId);
  if (cls == nullptr) return ResultNoClass;
  HostStatus status = StatusOk;
  StandInInstance* instance = StandInInstance::create(*this, *cls, &status);
  if (instance == nullptr) return status;
  status = instance->queryInterface(&interfaceId, out);
  // The interface object holds the instance from here; without one the
  // instance goes at once.
  instance->release();
  return status;
}

int32_t StandInHost::serviceReferences() const {
  return broker_.references() + memory_.references() + appInfo_.references() +
         values_.references() + lists_.references() + objects_.references() +
         contextSource_.references() + notifications_.references() + registry_.references() +
         scriptContext_.references();
}

int32_t StandInHost::serviceOverReleases() const {
  return broker_.overReleases() + memory_.overReleases() + appInfo_.overReleases() +
         values_.overReleases() + lists_.overReleases() + objects_.overReleases() +
         contextSource_.overReleases() + notifications_.overReleases() + registry_.overReleases() +
         scriptContext_.overReleases();
}

std::string StandInHost::leakReport() const {
  std::ostringstream report;
  auto note = [&](const char* what, int64_t count) {
    if (count != 0) report << what << ": " << count << "\n";
  };
  note("live values", table_.liveCount());
  note("values released twice", table_.invalidReleaseCount());
  note("uses of released values", table_.staleUseCount());
  note("memory blocks outstanding", memory_.outstandingBlocks());
  note("invalid frees", memory_.invalidFrees());
  note("objects outstanding", objects_.liveObjects());
  note("open string locks", values_.openStringLocks());
  note("service references", serviceReferences());
  note("service references released twice", serviceOverReleases());
  note("live instances", liveInstances());
  note("notification registrations", notifications_.registrationCount());
  note("host-thread-only calls from other threads", calls_.offHostThread());
  return report.str();
}

}  // namespace zephyx::standin
