// Turning one received OSC message into Lingo values.
#pragma once

#include "common/type_symbol_table.h"
#include "osc/OscReceivedElements.h"
#include "receive/received_item.h"
#include "receive/receiving_services.h"

namespace zephyx::receive {

struct ConversionSettings {
  bool asPropList;         // arguments as a property list keyed by type name
  bool blobsAsByteArrays;  // else blobs become strings, NUL bytes included
  const TypeSymbolTable* typeSymbols;
};

// The message's address as a string and its arguments as a list or
// property list, arrays nested as they are in the message; the caller owns
// both values. The message must have passed isWellFormedPacket and the
// services must be ready. Receiving thread.
ItemValues convertMessage(const osc::ReceivedMessage& message, const ConversionSettings& settings,
                          const ReceivingServices& services);

}  // namespace zephyx::receive
