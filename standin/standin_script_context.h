// The stand-in host's script context: Lingo handlers that tests and tools
// register, the record of every call, and the call guard.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/host_script_context.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"
#include "standin/symbol_table.h"
#include "standin/value_table.h"

namespace zephyx::standin {

// One call of a handler: the handler's name and its borrowed arguments.
struct HandlerCall {
  std::string handler;
  const HostValue* args;
  int32_t count;
};

// A handler returns the status that callHandler passes on.
using Handler = std::function<HostStatus(const HandlerCall& call)>;

// What the context remembers of one call.
struct RecordedCall {
  std::string handler;
  std::string text;               // the arguments in Lingo notation, joined by ", "
  std::vector<HostValue> copies;  // retained arguments, when copies are recorded
};

class StandInScriptContext final : public IHostScriptContext, public IHostCallGuard {
 public:
  StandInScriptContext(ValueTable& table, SymbolTable& symbols, HostCalls& calls);
  ~StandInScriptContext();

  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override;
  uint32_t ZX_CALL addRef() noexcept override;
  uint32_t ZX_CALL release() noexcept override;

  HostStatus ZX_CALL callHandler(HostSymbol handler, int32_t count, const HostValue* args,
                                 HostValue* result) noexcept override;
  HostStatus ZX_CALL saveCallContext(CallGuardState* state) noexcept override;
  HostStatus ZX_CALL restoreCallContext(CallGuardState* state) noexcept override;

  // A handler with no target: called when args[0] is not a script object
  // that has a handler of that name.
  void setHandler(const std::string& name, Handler handler);
  // A handler of the script object named `object` (see StandInHost::makeObject),
  // called when that object is args[0].
  void setObjectHandler(const std::string& object, const std::string& name, Handler handler);
  // While set, callHandler fails at once without calling anything.
  void failCalls(bool fail) { failCalls_ = fail; }
  // Record retained copies of the arguments as well as their text.
  void recordCopies(bool record) { recordCopies_ = record; }
  // Keeps only the latest `limit` calls, so that a long-lived host does not
  // grow; 0 records nothing (nor formats the arguments).
  void setRecordLimit(size_t limit);
  static constexpr size_t DefaultRecordLimit = 16384;

  // The latest calls, oldest first.
  const std::deque<RecordedCall>& calls() const { return calls_; }
  // Calls forgotten because of the limit.
  int64_t forgottenCalls() const { return forgottenCalls_; }
  // Forgets the recorded calls and releases their copies.
  void clearCalls();

  int32_t references() const { return references_.count(); }
  int32_t overReleases() const { return references_.overReleases(); }
  int32_t saves() const { return saves_; }
  int32_t restores() const { return restores_; }
  // Restores whose state did not come from the latest open save.
  int32_t unmatchedRestores() const { return unmatchedRestores_; }

 private:
  const Handler* findHandler(const std::string& name, int32_t count, const HostValue* args) const;

  ValueTable& table_;
  SymbolTable& symbols_;
  HostCalls& hostCalls_;
  std::map<std::string, Handler> handlers_;
  std::map<std::pair<std::string, std::string>, Handler> objectHandlers_;
  // Forgets the oldest calls until at most `keep` are left.
  void forgetOldest(size_t keep);

  std::deque<RecordedCall> calls_;
  size_t recordLimit_ = DefaultRecordLimit;
  int64_t forgottenCalls_ = 0;
  bool failCalls_ = false;
  bool recordCopies_ = false;
  RefCount references_{0};
  int32_t saves_ = 0;
  int32_t restores_ = 0;
  int32_t unmatchedRestores_ = 0;
  std::vector<uint32_t> openSaves_;
  uint32_t nextSaveToken_ = 1;
};

class StandInScriptContextSource final : public HostService<IHostScriptContextSource> {
 public:
  StandInScriptContextSource(StandInScriptContext& context, HostCalls& calls)
      : HostService(hostids::ScriptContextSourceService), context_(context), calls_(calls) {}

  HostStatus ZX_CALL getScriptContext(IHostScriptContext** out) noexcept override {
    calls_.hostThreadOnly();
    if (out == nullptr) return ResultHostFailure;
    context_.addRef();
    *out = &context_;
    return StatusOk;
  }

 private:
  StandInScriptContext& context_;
  HostCalls& calls_;
};

}  // namespace zephyx::standin
