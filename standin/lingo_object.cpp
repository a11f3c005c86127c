#include "standin/lingo_object.h"

#include <sstream>

#include "host/host_ids.h"
#include "host/host_status.h"

namespace zephyx::standin {

std::vector<std::string> methodNames(const std::string& messageTable) {
  std::vector<std::string> names;
  std::istringstream lines(messageTable);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (first) {
      first = false;
      continue;
    }
    if (line.empty() || line[0] == '-') continue;
    size_t start = line[0] == '/' ? 1 : 0;  // a hidden method
    const size_t end = line.find(' ', start);
    names.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
  }
  return names;
}

LingoObject::LingoObject(StandInHost& host, const HostGuid& classId, IMoaMmXScript* script)
    : host_(host), classId_(classId), script_(script), me_(host.own(host.makeObject("me"))) {}

std::unique_ptr<LingoObject> LingoObject::create(StandInHost& host, const HostGuid& classId,
                                                 const std::vector<HostValue>& newArgs,
                                                 HostStatus* status) {
  IMoaMmXScript* script = nullptr;
  const HostStatus created =
      host.createObject(classId, hostids::MmXScript, reinterpret_cast<void**>(&script));
  if (status != nullptr) *status = created;
  if (created != StatusOk || script == nullptr) return nullptr;
  std::unique_ptr<LingoObject> object(new LingoObject(host, classId, script));
  object->call(0, newArgs, status);
  return object;
}

LingoObject::~LingoObject() { script_->release(); }

OwnedValue LingoObject::call(int32_t methodIndex, const std::vector<HostValue>& args,
                             HostStatus* status) {
  std::vector<HostValue> withMe;
  withMe.reserve(args.size() + 1);
  withMe.push_back(me_.get());
  withMe.insert(withMe.end(), args.begin(), args.end());
  MethodCall record{};
  record.methodIndex = methodIndex;
  record.result = VoidValue;
  record.argCount = static_cast<int32_t>(withMe.size());
  record.args = withMe.data();
  const HostStatus result = script_->callMethod(&record);
  if (status != nullptr) *status = result;
  return host_.own(record.result);
}

OwnedValue LingoObject::call(const std::string& method, const std::vector<HostValue>& args,
                             HostStatus* status) {
  const StandInRegistryEntry* entry = host_.registeredEntry(classId_);
  const RegistryValue* table = entry != nullptr ? entry->find("msgTable") : nullptr;
  if (table != nullptr) {
    const std::vector<std::string> names = methodNames(table->bytes);
    for (size_t index = 0; index < names.size(); ++index) {
      if (names[index] == method) return call(static_cast<int32_t>(index), args, status);
    }
  }
  if (status != nullptr) *status = ResultHostFailure;
  return host_.own(VoidValue);
}

}  // namespace zephyx::standin
