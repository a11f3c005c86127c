#include "receive/bundle_markers.h"

#include "common/owned_value.h"

namespace zephyx::receive {

namespace {

std::unique_ptr<ReceivedItem> makeMarker(IHostValues* values, IHostValues* itemValues,
                                         const char* name, int32_t number) {
  HostSymbol symbol = NoSymbol;
  values->stringToSymbol(name, &symbol);
  OwnedValue head(values);
  values->symbolToValue(symbol, head.out());
  OwnedValue body(values);
  values->integerToValue(number, body.out());
  return std::make_unique<ReceivedItem>(itemValues, head.release(), body.release());
}

}  // namespace

std::unique_ptr<ReceivedItem> makeBundleStart(IHostValues* values, IHostValues* itemValues,
                                              osc::uint64 timeTag) {
  const auto fraction = static_cast<uint32_t>(timeTag & 0xffffffffu);
  return makeMarker(values, itemValues, "bundlestart", static_cast<int32_t>(fraction));
}

std::unique_ptr<ReceivedItem> makeBundleEnd(IHostValues* values, IHostValues* itemValues) {
  return makeMarker(values, itemValues, "bundleend", 0);
}

}  // namespace zephyx::receive
