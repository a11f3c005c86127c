// A receiver that the caller hands datagrams to on its own thread, through
// the entry the receiving thread uses: decoding without a socket.
#pragma once

#include <cstdlib>
#include <vector>

#include "receive/ofx_osc_receiver.h"

namespace zephyx::bench {

class DirectReceiver : public receive::ofxOscReceiver {
 public:
  DirectReceiver(IHostValues* itemValues, const BrokerSource& broker, const TypeSymbolTable* table)
      : ofxOscReceiver(itemValues, broker) {
    // Arguments as a list, blobs as byte arrays. The settings stay after a
    // stop: no datagram but ours arrives.
    if (!startReceiving(0, false, true, table)) std::exit(1);
    stopReceiving();
  }
  void process(const std::vector<char>& packet) {
    ProcessPacket(packet.data(), static_cast<int>(packet.size()), IpEndpointName());
  }
  // Pops every queued item, which releases its values; returns how many.
  int drain() {
    int items = 0;
    while (popItem()) ++items;
    return items;
  }
};

}  // namespace zephyx::bench
