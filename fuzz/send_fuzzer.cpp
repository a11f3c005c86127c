// Lingo value trees of every kind, built from the fuzzer's bytes, encoded
// as send encodes them into a buffer of any size. A packet that comes out
// complete must be one that receivers accept.
#include <fuzzer/FuzzedDataProvider.h>

#include <exception>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "receive/packet_validation.h"
#include "send/packet_sender.h"

using namespace zephyx;
using namespace zephyx::receive;
using namespace zephyx::send;

namespace {

const char* const Names[] = {"int32", "float32", "string", "blob",      "array",
                             "bool",  "char",    "double", "infinitum", "int64",
                             "midi",  "nil",     "rgba",   "time",      "other"};

struct Builder {
  standin::StandInHost& host;
  FuzzedDataProvider& in;
  std::vector<HostValue> holdingThemselves;  // emptied before release

  HostValue any(int depth) {
    const int kind = in.ConsumeIntegralInRange(0, depth > 300 ? 4 : 9);
    switch (kind) {
      case 0:
        return VoidValue;
      case 1:
        return host.makeInteger(in.ConsumeIntegral<int32_t>());
      case 2:
        return host.makeFloat(in.ConsumeFloatingPoint<double>());
      case 3:
        return host.makeString(in.ConsumeRandomLengthString(64));
      case 4:
        return host.makeSymbol(Names[in.ConsumeIntegralInRange(0, 14)]);
      case 5:
        return host.makeByteArray(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(0, 64)));
      case 6:
      case 7:
        return list(depth);
      case 8:
        return propList(depth);
      default:
        return element(depth);
    }
  }
  HostValue list(int depth) {
    std::vector<HostValue> elements(in.ConsumeIntegralInRange(0, 4));
    for (HostValue& element : elements) element = any(depth + 1);
    const HostValue made = host.makeList(elements);
    if (in.ConsumeIntegralInRange(0, 63) == 0) {  // a list that holds itself
      host.lists().appendToList(&made, &made);
      holdingThemselves.push_back(made);
    }
    return made;
  }
  HostValue propList(int depth) {
    std::vector<std::pair<HostValue, HostValue>> pairs(in.ConsumeIntegralInRange(0, 4));
    for (auto& [key, value] : pairs) {
      const char* name = Names[in.ConsumeIntegralInRange(0, 14)];
      key = in.ConsumeBool() ? host.makeSymbol(name) : host.makeString(name);
      value = any(depth + 1);
    }
    return host.makePropList(pairs);
  }
  // [address, arguments] or [time tag, [elements]].
  HostValue element(int depth) {
    if (in.ConsumeBool())
      return host.makeList({host.makeString(in.ConsumeRandomLengthString(32)), any(depth + 1)});
    std::vector<HostValue> contents(in.ConsumeIntegralInRange(0, 3));
    for (HostValue& item : contents) item = in.ConsumeBool() ? element(depth + 1) : any(depth + 1);
    return host.makeList(
        {host.makeFloat(in.ConsumeFloatingPoint<double>()), host.makeList(contents)});
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzsupport::SendWorld* world = new fuzzsupport::SendWorld;
  standin::StandInHost& host = world->host;
  const int64_t liveBefore = host.valueTable().liveCount();
  FuzzedDataProvider in(data, size);
  std::vector<char> buffer(in.ConsumeIntegralInRange<size_t>(1, MaxDatagramSize));
  Builder builder{host, in, {}};
  const HostValue packet = builder.element(0);

  PacketWriter writer(buffer.data(), buffer.size());
  if (encodePacket(world->context, writer, packet)) {
    const char* fault = packetFault(writer.data(), writer.size());
    fuzzsupport::require(fault == nullptr, "sent a packet that receivers refuse",
                         fault ? fault : "");
    try {
      fuzzsupport::walkPacket(writer.data(), writer.size());
    } catch (const std::exception& e) {
      fuzzsupport::require(false, "oscpack refused a sent packet", e.what());
    }
  }
  for (const HostValue& list : builder.holdingThemselves) host.clearContainer(list);
  host.release(packet);
  fuzzsupport::require(host.valueTable().liveCount() == liveBefore, "every value released");
  return 0;
}
