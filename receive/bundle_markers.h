// The items that frame a received bundle's messages.
#pragma once

#include <memory>

#include "osc/OscTypes.h"
#include "receive/received_item.h"

namespace zephyx::receive {

// (#bundlestart, the time tag's fraction field read as a signed 32-bit
// number). `values` makes the values; the item releases them with `itemValues`.
std::unique_ptr<ReceivedItem> makeBundleStart(IHostValues* values, IHostValues* itemValues,
                                              osc::uint64 timeTag);
// (#bundleend, 0).
std::unique_ptr<ReceivedItem> makeBundleEnd(IHostValues* values, IHostValues* itemValues);

}  // namespace zephyx::receive
