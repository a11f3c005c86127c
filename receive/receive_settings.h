// What a receiver is started with, handed to its thread as one value.
#pragma once

#include "common/type_symbol_table.h"
#include "host/host_broker.h"

namespace zephyx::receive {

// Taken once when receiving starts and read only by the receiving thread
// until it ends; nothing here is read again per datagram.
struct ReceiveSettings {
  // Where the receiving thread takes the services it builds values with.
  IHostBroker* broker = nullptr;
  // Arguments as a property list keyed by type name, else as a list.
  bool asPropList = false;
  // Blobs as byte arrays, else as strings with their NUL bytes.
  bool blobsAsByteArrays = false;
  // The instance's type names; must outlive the receiving thread.
  const TypeSymbolTable* typeSymbols = nullptr;
};

}  // namespace zephyx::receive
