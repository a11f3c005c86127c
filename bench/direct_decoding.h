// The receiving thread's work for one datagram, done on the caller's thread
// through the same entries: decodePacket, then the receiver's queue. No
// socket is involved.
#pragma once

#include <cstdint>
#include <vector>

#include "receive/ofx_osc_receiver.h"
#include "receive/packet_decoding.h"

namespace zephyx::bench {

class DirectDecoding {
 public:
  // Arguments as a list, blobs as byte arrays; the services are taken from
  // `broker` once, as the receiving thread takes them when it starts.
  DirectDecoding(IHostBroker* broker, IHostValues* itemValues, const TypeSymbolTable* table)
      : settings_{broker, false, true, table}, services_(broker), receiver_(itemValues) {}

  void process(const std::vector<char>& packet) {
    receive::DatagramItems items(services_.values(), receive::Sender{});
    if (receive::decodePacket(packet.data(), packet.size(), settings_, services_, items) ==
        receive::DecodeResult::Decoded) {
      receiver_.pushItems(items);
    } else {
      ++rejected_;
    }
  }
  // Pops every queued item, which releases its values; returns how many.
  int drain() {
    int items = 0;
    while (receiver_.popItem()) ++items;
    return items;
  }
  uint64_t datagramsRejected() const { return rejected_; }

 private:
  receive::ReceiveSettings settings_;
  receive::ReceivingServices services_;
  receive::ofxOscReceiver receiver_;
  uint64_t rejected_ = 0;
};

}  // namespace zephyx::bench
