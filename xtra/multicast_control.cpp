#include "xtra/multicast_control.h"

#include <string>

#include "common/ipv4_address.h"
#include "xtra/string_argument.h"

namespace zephyx::xtra {
namespace {

// Each needs its first argument after `me`.
constexpr int32_t RequiredArgs = 2;
constexpr int32_t MaxHopLimit = 255;

// A dotted address given as a string; nothing is resolved on the host thread.
bool addressArgument(IHostValues* values, const HostValue& value, uint32_t* address) {
  std::string text;
  return stringArgument(values, value, &text) && text.find('\0') == std::string::npos &&
         parseDottedAddress(text.c_str(), address);
}

bool groupArgument(IHostValues* values, const MethodCall& call, uint32_t* group) {
  return addressArgument(values, call.args[1], group) && isMulticastAddress(*group);
}

// Argument 2, optional: omitted or VOID leaves the choice to the system (0).
bool interfaceArgument(IHostValues* values, const MethodCall& call, uint32_t* interfaceAddress) {
  *interfaceAddress = 0;
  if (call.argCount <= RequiredArgs) return true;
  int32_t kind = KindVoid;
  values->valueType(&call.args[2], &kind);
  if (kind == KindVoid) return true;
  return addressArgument(values, call.args[2], interfaceAddress) &&
         !isMulticastAddress(*interfaceAddress);
}

bool hasRequiredArgs(const MethodCall& call) {
  return call.argCount >= RequiredArgs && call.args != nullptr;
}

// Why a membership cannot be joined, or null when it can be tried.
const char* joinRefusal(XtraInstance& instance, const MethodCall& call,
                        GroupMembership* membership) {
  IHostValues* values = instance.valueServices;
  if (!hasRequiredArgs(call)) return "missing argument";
  if (!groupArgument(values, call, &membership->group)) return "not a multicast address";
  if (!interfaceArgument(values, call, &membership->interfaceAddress)) {
    return "not an interface address";
  }
  const InstanceHoldings& held = *instance.held;
  if (!instance.listening || !held.receiver || held.receiver->listeningSocket() == nullptr) {
    return "not listening";
  }
  return nullptr;
}

void answer(XtraInstance& instance, MethodCall& call, bool done) {
  instance.valueServices->integerToValue(done ? 1 : 0, &call.result);
}

}  // namespace

void joinGroupFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  GroupMembership membership;
  const char* refusal = joinRefusal(instance, call, &membership);
  if (refusal == nullptr &&
      !instance.held->groups.join(*instance.held->receiver->listeningSocket(), membership)) {
    refusal = "unable to join multicast group";
  }
  if (refusal != nullptr) {
    values->stringToValue(refusal, &call.result);
    return;
  }
  values->integerToValue(1, &call.result);
}

void leaveGroupFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  GroupMembership membership;
  bool left = false;
  if (hasRequiredArgs(call) && groupArgument(values, call, &membership.group) &&
      interfaceArgument(values, call, &membership.interfaceAddress)) {
    InstanceHoldings& held = *instance.held;
    receive::ListeningSocket* socket =
        instance.listening && held.receiver ? held.receiver->listeningSocket() : nullptr;
    left = held.groups.leave(socket, membership);
  }
  answer(instance, call, left);
}

void setMulticastFromCall(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  MulticastSending sending;
  int32_t kind = KindVoid;
  if (hasRequiredArgs(call)) values->valueType(&call.args[1], &kind);
  const bool valid = kind == KindInteger &&
                     values->valueToInteger(&call.args[1], &sending.hopLimit) == StatusOk &&
                     sending.hopLimit >= 0 && sending.hopLimit <= MaxHopLimit &&
                     interfaceArgument(values, call, &sending.interfaceAddress);
  if (valid) instance.held->multicast = sending;
  answer(instance, call, valid);
}

}  // namespace zephyx::xtra
