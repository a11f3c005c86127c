// The items that frame a received bundle's messages.
#pragma once

#include "common/type_symbol_table.h"
#include "osc/OscTypes.h"
#include "receive/datagram_items.h"

namespace zephyx::receive {

// Adds (#bundlestart, the time tag's fraction field read as a signed
// 32-bit number) to `items`, made through `values`. False, adding nothing,
// when the host could not make either value.
bool addBundleStart(IHostValues* values, const TypeSymbolTable& names, osc::uint64 timeTag,
                    DatagramItems& items);
// Adds (#bundleend, 0); false as above.
bool addBundleEnd(IHostValues* values, const TypeSymbolTable& names, DatagramItems& items);

}  // namespace zephyx::receive
