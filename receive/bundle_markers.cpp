#include "receive/bundle_markers.h"

namespace zephyx::receive {
namespace {

ItemValues makeMarker(IHostValues* values, HostSymbol name, int32_t number) {
  ItemValues marker{VoidValue, VoidValue, Sender{}};
  values->symbolToValue(name, &marker.head);
  values->integerToValue(number, &marker.body);
  return marker;
}

}  // namespace

ItemValues makeBundleStart(IHostValues* values, const TypeSymbolTable& names, osc::uint64 timeTag) {
  const auto fraction = static_cast<uint32_t>(timeTag & 0xffffffffu);
  return makeMarker(values, names.bundleStart, static_cast<int32_t>(fraction));
}

ItemValues makeBundleEnd(IHostValues* values, const TypeSymbolTable& names) {
  return makeMarker(values, names.bundleEnd, 0);
}

}  // namespace zephyx::receive
