#include "receive/bundle_markers.h"

#include "common/owned_value.h"

namespace zephyx::receive {
namespace {

bool addMarker(IHostValues* values, HostSymbol name, int32_t number, DatagramItems& items) {
  OwnedValue head(values);
  OwnedValue body(values);
  if (values->symbolToValue(name, head.out()) != StatusOk ||
      values->integerToValue(number, body.out()) != StatusOk) {
    return false;
  }
  items.add(head.take(), body.take());
  return true;
}

}  // namespace

bool addBundleStart(IHostValues* values, const TypeSymbolTable& names, osc::uint64 timeTag,
                    DatagramItems& items) {
  const auto fraction = static_cast<uint32_t>(timeTag & 0xffffffffu);
  return addMarker(values, names.bundleStart, static_cast<int32_t>(fraction), items);
}

bool addBundleEnd(IHostValues* values, const TypeSymbolTable& names, DatagramItems& items) {
  return addMarker(values, names.bundleEnd, 0, items);
}

}  // namespace zephyx::receive
