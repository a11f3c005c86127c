// Turning one received OSC message into Lingo values.
#pragma once

#include <memory>

#include "osc/OscReceivedElements.h"
#include "receive/received_item.h"
#include "receive/receiving_services.h"
#include "common/type_symbol_table.h"

namespace zephyx::receive {

struct ConversionSettings {
  bool asPropList;         // arguments as a property list keyed by type name
  bool blobsAsByteArrays;  // else blobs become strings, NUL bytes included
  const TypeSymbolTable* typeSymbols;
  IHostValues* itemValues;  // what the item releases its values with
};

// The message's address as a string and its arguments as a list or
// property list, arrays nested as they are in the message. The message
// must have passed isWellFormedPacket. Receiving thread.
std::unique_ptr<ReceivedItem> convertMessage(const osc::ReceivedMessage& message,
                                             const ConversionSettings& settings,
                                             const ReceivingServices& services);

}  // namespace zephyx::receive
