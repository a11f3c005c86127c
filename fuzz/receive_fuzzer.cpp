// Any bytes as one received datagram, through the receiver's packet
// processing, with the stand-in host as the host. The first byte picks the
// shape (list or property list) and the blob form (string or byte array).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "receive/ofx_osc_receiver.h"
#include "receive/packet_validation.h"
#include "standin/standin_host.h"

using namespace zephyx;
using namespace zephyx::receive;

namespace {

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "receive fuzzer: %s\n", what);
  std::abort();
}

// The receiving thread's entry, called here on the fuzzer's thread.
class Receiver : public ofxOscReceiver {
 public:
  Receiver(standin::StandInHost& host, const BrokerSource& broker, const TypeSymbolTable* table,
           bool propList, bool byteArrays)
      : ofxOscReceiver(&host.values(), broker) {
    // The settings are kept after a stop: start on a port the system
    // chooses and stop at once, so that no datagram but ours arrives.
    require(startReceiving(0, propList, byteArrays, table), lastError());
    stopReceiving();
  }
  void process(const uint8_t* data, size_t size) {
    ProcessPacket(reinterpret_cast<const char*>(data), static_cast<int>(size), IpEndpointName());
  }
};

struct World {
  standin::StandInHost host;
  std::unique_ptr<TypeSymbolTable> table{makeTypeSymbolTable(&host.values())};
  ofxOscReceiver::BrokerSource broker{&host.broker()};
  std::unique_ptr<Receiver> receivers[4];
  World() {
    for (int form = 0; form < 4; ++form) {
      receivers[form] = std::make_unique<Receiver>(host, broker, table.get(), form & 1, form & 2);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  if (size < 1) return 0;
  standin::StandInHost& host = world->host;
  IHostValues& values = host.values();
  const int form = data[0] & 3;
  const bool propList = form & 1;
  Receiver& receiver = *world->receivers[form];
  const int64_t liveBefore = host.valueTable().liveCount();
  const int64_t blocksBefore = host.memory().outstandingBlocks();
  const uint64_t evictedBefore = receiver.itemsEvicted();

  receiver.process(data + 1, size - 1);
  const bool wellFormed = isWellFormedPacket(reinterpret_cast<const char*>(data + 1), size - 1);
  require(wellFormed == (receiver.queuedCount() > 0),
          "items queued exactly for a well-formed datagram");

  // Evicting the oldest items (only past 1025 queued) may cut a frame.
  const bool whole = receiver.itemsEvicted() == evictedBefore;
  int depth = 0;
  while (std::optional<ReceivedItem> item = receiver.popItem()) {
    int32_t headKind = -1, bodyKind = -1;
    values.valueType(item->head.ptr(), &headKind);
    values.valueType(item->body.ptr(), &bodyKind);
    if (headKind == KindString) {
      require(bodyKind == (propList ? KindPropList : KindList), "message body of the shape asked");
      continue;
    }
    require(headKind == standin::StandInSymbol, "head is a string or a symbol");
    require(bodyKind == KindInteger, "marker body is an integer");
    HostSymbol symbol = NoSymbol;
    values.valueToSymbol(item->head.ptr(), &symbol);
    const std::string name = host.symbolName(symbol);
    if (name == "bundlestart") {
      ++depth;
    } else {
      require(name == "bundleend", "marker is bundlestart or bundleend");
      require(!whole || depth > 0, "bundleend after its bundlestart");
      --depth;
    }
  }
  require(!whole || depth == 0, "bundle markers balance");
  require(host.valueTable().liveCount() == liveBefore, "every value released");
  require(host.memory().outstandingBlocks() == blocksBefore, "every block freed");
  return 0;
}
