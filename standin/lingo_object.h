// A Lingo object of a loaded class, as a script holds it: calls reach the
// library through the scripting interface's callMethod.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/moa_mm_xscript.h"
#include "common/owned_value.h"
#include "standin/standin_host.h"

namespace zephyx::standin {

class LingoObject {
 public:
  // Creates an instance of the class and calls `new` with `newArgs`
  // (borrowed; `me` is added in front). Null with the status in *status
  // when the host cannot create it.
  static std::unique_ptr<LingoObject> create(StandInHost& host, const HostGuid& classId,
                                             const std::vector<HostValue>& newArgs = {},
                                             HostStatus* status = nullptr);
  // Gives back the host's reference. A script calls `forget` first.
  ~LingoObject();
  LingoObject(const LingoObject&) = delete;
  LingoObject& operator=(const LingoObject&) = delete;

  // Calls the method at `methodIndex` with `args` (borrowed; `me` is added
  // in front). The result passes to the host, which owns it here; VOID when
  // the method set none.
  OwnedValue call(int32_t methodIndex, const std::vector<HostValue>& args = {},
                  HostStatus* status = nullptr);
  // The same, naming the method as the registered message table does.
  OwnedValue call(const std::string& method, const std::vector<HostValue>& args = {},
                  HostStatus* status = nullptr);

  IMoaMmXScript* script() const { return script_; }
  // The `me` value the object is called with.
  const HostValue& me() const { return me_.get(); }

 private:
  LingoObject(StandInHost& host, const HostGuid& classId, IMoaMmXScript* script);

  StandInHost& host_;
  HostGuid classId_;
  IMoaMmXScript* script_;
  OwnedValue me_;
};

// The methods of a registered message table, in order: the index of each
// is its position. The first line names the class, not a method.
std::vector<std::string> methodNames(const std::string& messageTable);

}  // namespace zephyx::standin
