// The items that frame a received bundle's messages.
#pragma once

#include "common/type_symbol_table.h"
#include "osc/OscTypes.h"
#include "receive/received_item.h"

namespace zephyx::receive {

// (#bundlestart, the time tag's fraction field read as a signed 32-bit
// number), made through `values`; the caller owns both values.
ItemValues makeBundleStart(IHostValues* values, const TypeSymbolTable& names, osc::uint64 timeTag);
// (#bundleend, 0).
ItemValues makeBundleEnd(IHostValues* values, const TypeSymbolTable& names);

}  // namespace zephyx::receive
