#include "standin/standin_script_context.h"

#include <algorithm>

#include "host/host_ids.h"
#include "host/host_status.h"
#include "standin/value_notation.h"

namespace zephyx::standin {

StandInScriptContext::StandInScriptContext(ValueTable& table, SymbolTable& symbols,
                                           HostCalls& calls)
    : table_(table), symbols_(symbols), hostCalls_(calls) {}

StandInScriptContext::~StandInScriptContext() { clearCalls(); }

HostStatus ZX_CALL StandInScriptContext::queryInterface(const HostGuid* id, void** out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (id == nullptr) return ResultNoInterface;
  if (*id == hostids::Unknown) {
    addRef();
    *out = static_cast<IHostScriptContext*>(this);
    return StatusOk;
  }
  if (*id == hostids::CallGuard) {
    addRef();
    *out = static_cast<IHostCallGuard*>(this);
    return StatusOk;
  }
  return ResultNoInterface;
}

uint32_t ZX_CALL StandInScriptContext::addRef() noexcept { return references_.add(); }

uint32_t ZX_CALL StandInScriptContext::release() noexcept {
  return RefCount::answer(references_.drop());
}

void StandInScriptContext::setHandler(const std::string& name, Handler handler) {
  handlers_[name] = std::move(handler);
}

void StandInScriptContext::setObjectHandler(const std::string& object, const std::string& name,
                                            Handler handler) {
  objectHandlers_[{object, name}] = std::move(handler);
}

const Handler* StandInScriptContext::findHandler(const std::string& name, int32_t count,
                                                 const HostValue* args) const {
  if (count > 0) {
    const ValueSlot* target = table_.find(args[0]);
    if (target != nullptr && target->kind == StandInObject) {
      auto found = objectHandlers_.find({target->text, name});
      if (found != objectHandlers_.end()) return &found->second;
    }
  }
  auto found = handlers_.find(name);
  return found == handlers_.end() ? nullptr : &found->second;
}

HostStatus ZX_CALL StandInScriptContext::callHandler(HostSymbol handler, int32_t count,
                                                     const HostValue* args,
                                                     HostValue* result) noexcept {
  hostCalls_.hostThreadOnly();
  if (result != nullptr) *result = VoidValue;
  if (count < 0 || (count > 0 && args == nullptr)) return ResultHostFailure;

  const std::string name = symbols_.name(handler);
  if (recordLimit_ > 0) {
    forgetOldest(recordLimit_ - 1);
    RecordedCall record;
    record.handler = name;
    for (int32_t i = 0; i < count; ++i) {
      if (i > 0) record.text += ", ";
      record.text += formatLingo(table_, symbols_, args[i]);
      if (recordCopies_ && table_.retain(args[i])) record.copies.push_back(args[i]);
    }
    calls_.push_back(std::move(record));
  }

  if (failCalls_) return ResultHostFailure;
  const Handler* found = findHandler(name, count, args);
  if (found == nullptr) return ResultHostFailure;
  // Copied, so that a handler that replaces handlers does not run destroyed code.
  const Handler call = *found;
  return call(HandlerCall{name, args, count});
}

void StandInScriptContext::setRecordLimit(size_t limit) {
  recordLimit_ = limit;
  forgetOldest(limit);
}

void StandInScriptContext::forgetOldest(size_t keep) {
  while (calls_.size() > keep) {
    for (const HostValue& copy : calls_.front().copies) table_.release(copy);
    calls_.pop_front();
    ++forgottenCalls_;
  }
}

void StandInScriptContext::clearCalls() {
  for (RecordedCall& call : calls_) {
    for (const HostValue& copy : call.copies) table_.release(copy);
  }
  calls_.clear();
}

HostStatus ZX_CALL StandInScriptContext::saveCallContext(CallGuardState* state) noexcept {
  hostCalls_.hostThreadOnly();
  if (state == nullptr) return ResultHostFailure;
  ++saves_;
  const uint32_t token = nextSaveToken_++;
  openSaves_.push_back(token);
  *state = CallGuardState{{0x5a5e5a5e, token, 0, 0}};
  return StatusOk;
}

HostStatus ZX_CALL StandInScriptContext::restoreCallContext(CallGuardState* state) noexcept {
  hostCalls_.hostThreadOnly();
  if (state == nullptr) return ResultHostFailure;
  ++restores_;
  if (openSaves_.empty() || state->words[0] != 0x5a5e5a5e || state->words[1] != openSaves_.back()) {
    ++unmatchedRestores_;
    return ResultHostFailure;
  }
  openSaves_.pop_back();
  return StatusOk;
}

}  // namespace zephyx::standin
