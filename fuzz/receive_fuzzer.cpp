// Any bytes as one received datagram, through the receiving thread's
// decoding, with the stand-in host as the host. The first byte picks the
// shape (list or property list), the blob form (string or byte array) and
// whether the host runs out of values part-way, after as many as the second
// byte says.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "receive/packet_decoding.h"
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

struct World {
  standin::StandInHost host;
  std::unique_ptr<TypeSymbolTable> table{makeTypeSymbolTable(&host.values())};
  ReceivingServices services{&host.broker()};
};

// The items of a decoded datagram: messages of the shape asked, markers
// that balance.
void checkItems(standin::StandInHost& host, DatagramItems& items, bool propList) {
  IHostValues& values = host.values();
  int depth = 0;
  const ItemValues* item = items.items();
  for (size_t i = 0; i < items.size(); ++i) {
    int32_t headKind = -1, bodyKind = -1;
    values.valueType(&item[i].head, &headKind);
    values.valueType(&item[i].body, &bodyKind);
    if (headKind == KindString) {
      require(bodyKind == (propList ? KindPropList : KindList), "message body of the shape asked");
      require(i == 0 || depth > 0, "a message after the first item lies inside a bundle");
      continue;
    }
    require(headKind == standin::StandInSymbol, "head is a string or a symbol");
    require(bodyKind == KindInteger, "marker body is an integer");
    HostSymbol symbol = NoSymbol;
    values.valueToSymbol(&item[i].head, &symbol);
    const std::string name = host.symbolName(symbol);
    if (name == "bundlestart") {
      ++depth;
    } else {
      require(name == "bundleend", "marker is bundlestart or bundleend");
      require(depth > 0, "bundleend after its bundlestart");
      --depth;
      require(depth > 0 || i + 1 == items.size(), "the outer bundle's end is the last item");
    }
  }
  require(depth == 0, "bundle markers balance");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  if (size < 2) return 0;
  standin::StandInHost& host = world->host;
  const bool propList = data[0] & 1;
  const bool byteArrays = data[0] & 2;
  const bool runsOut = data[0] & 4;
  const ReceiveSettings settings{&host.broker(), propList, byteArrays, world->table.get()};
  const char* packet = reinterpret_cast<const char*>(data + 2);
  const size_t packetSize = size - 2;
  const int64_t liveBefore = host.valueTable().liveCount();
  const int64_t blocksBefore = host.memory().outstandingBlocks();

  if (runsOut) host.valueTable().failMakesAfter(data[1]);
  DecodeResult result = DecodeResult::Malformed;
  {
    DatagramItems items(&host.values(), Sender{});
    result = decodePacket(packet, packetSize, settings, world->services, items);
    host.valueTable().stopFailingMakes();
    const bool wellFormed = isWellFormedPacket(packet, packetSize);
    require(wellFormed == (result != DecodeResult::Malformed), "malformed exactly when invalid");
    require(runsOut || result != DecodeResult::NotMade, "only a host that runs out fails");
    require((result == DecodeResult::Decoded) == (items.size() > 0),
            "items exactly for a decoded datagram, none for any other");
    if (result == DecodeResult::Decoded) checkItems(host, items, propList);
  }
  require(host.valueTable().liveCount() == liveBefore, "every value released");
  require(host.memory().outstandingBlocks() == blocksBefore, "every block freed");
  return 0;
}
