#include "standin/standin_instance.h"

#include <cstdlib>
#include <cstring>

#include "standin/standin_host.h"

namespace zephyx::standin {

StandInInstance* StandInInstance::create(StandInHost& host, const StandInClass& cls,
                                         HostStatus* status) {
  *status = ResultOutOfMemory;
  if (cls.instanceSize < static_cast<int32_t>(sizeof(HostObjectHeader))) return nullptr;
  void* record = std::calloc(1, static_cast<size_t>(cls.instanceSize));
  if (record == nullptr) return nullptr;
  auto* instance = new StandInInstance(host, cls, record);
  auto* header = static_cast<HostObjectHeader*>(record);
  header->object = instance;
  header->broker = &host.broker();
  header->memory = &host.memory();
  *status = cls.create != nullptr ? cls.create(record) : StatusOk;
  if (*status != StatusOk) {
    instance->release();  // runs the destruction callback for what was acquired
    return nullptr;
  }
  return instance;
}

StandInInstance::StandInInstance(StandInHost& host, const StandInClass& cls, void* record)
    : host_(host), class_(cls), record_(record) {
  host_.instanceCreated();
}

StandInInstance::~StandInInstance() {
  if (class_.destroy != nullptr) class_.destroy(record_);
  std::free(record_);
  host_.instanceDestroyed();
}

HostStatus ZX_CALL StandInInstance::queryInterface(const HostGuid* id, void** out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (id == nullptr) return ResultNoInterface;
  if (*id == hostids::Unknown) {
    addRef();
    *out = static_cast<IMoaUnknown*>(this);
    return StatusOk;
  }
  if (!class_.getInterface) return ResultNoInterface;
  return class_.getInterface(record_, *id, out);
}

uint32_t ZX_CALL StandInInstance::addRef() noexcept { return references_.add(); }

uint32_t ZX_CALL StandInInstance::release() noexcept {
  const int32_t left = references_.drop();
  if (left == 0) delete this;
  return RefCount::answer(left);
}

}  // namespace zephyx::standin
