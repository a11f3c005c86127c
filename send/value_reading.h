// Reading Lingo values on the sending side. The host's conversion statuses
// are not examined: what a failed conversion leaves (0, VOID) is what is used.
#pragma once

#include "send/send_context.h"

namespace zephyx::send {

inline int32_t kindOf(const SendContext& context, const HostValue& value) {
  int32_t kind = KindVoid;
  context.values->valueType(&value, &kind);
  return kind;
}

inline int32_t integerOf(const SendContext& context, const HostValue& value) {
  int32_t number = 0;
  context.values->valueToInteger(&value, &number);
  return number;
}

inline double doubleOf(const SendContext& context, const HostValue& value) {
  double number = 0.0;
  context.values->valueToDouble(&value, &number);
  return number;
}

}  // namespace zephyx::send
