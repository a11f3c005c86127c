#include "xtra/string_argument.h"

#include "common/locked_string.h"

namespace zephyx::xtra {

bool stringArgument(IHostValues* values, const HostValue& value, std::string* text) {
  int32_t kind = KindVoid;
  values->valueType(&value, &kind);
  if (kind != KindString) return false;
  int32_t length = 0;
  values->stringLength(&value, &length);
  const LockedString bytes(values, value);
  if (length < 0 || bytes.bytes() == nullptr) return false;
  text->assign(bytes.text(), static_cast<size_t>(length));
  return true;
}

}  // namespace zephyx::xtra
