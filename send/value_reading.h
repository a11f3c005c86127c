// Reading Lingo values through the instance's value service. The host's
// conversion statuses are not examined: what a failed conversion leaves
// (0, VOID) is what is used.
#pragma once

#include "xtra/xtra_instance.h"

inline int32_t kindOf(const XtraInstance& instance, const HostValue& value) {
  int32_t kind = KindVoid;
  instance.valueServices->valueType(&value, &kind);
  return kind;
}

inline int32_t integerOf(const XtraInstance& instance, const HostValue& value) {
  int32_t number = 0;
  instance.valueServices->valueToInteger(&value, &number);
  return number;
}

inline double doubleOf(const XtraInstance& instance, const HostValue& value) {
  double number = 0.0;
  instance.valueServices->valueToDouble(&value, &number);
  return number;
}
