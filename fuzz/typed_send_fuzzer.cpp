// A typed property list of the fuzzer's values, sent as a message and
// read back through oscpack: every argument comes back as it went in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "send/packet_sender.h"

using namespace zephyx;
using namespace zephyx::send;

namespace {

using fuzzsupport::require;

struct Expected {
  char tag;
  double number;      // i f d h c
  std::string bytes;  // s b
};

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzsupport::SendWorld* world = new fuzzsupport::SendWorld;
  standin::StandInHost& host = world->host;
  const int64_t liveBefore = host.valueTable().liveCount();
  FuzzedDataProvider in(data, size);
  std::vector<std::pair<HostValue, HostValue>> arguments;
  std::vector<Expected> expected;
  while (in.remaining_bytes() > 0 && arguments.size() < 64) {
    static const char* const names[] = {"int32", "float32", "string", "blob",
                                        "bool",  "double",  "int64",  "char"};
    const int type = in.ConsumeIntegralInRange(0, 7);
    HostValue key = in.ConsumeBool() ? host.makeSymbol(names[type]) : host.makeString(names[type]);
    HostValue value = VoidValue;
    Expected e{"ifsbTdhc" [type], 0.0, {}};
    if (type == 0 || type == 4) {
      const int32_t number = in.ConsumeIntegral<int32_t>();
      value = host.makeInteger(number);
      e.number = number;
      if (type == 4 && number == 0) e.tag = 'F';
    } else if (type == 1) {
      const float number = in.ConsumeFloatingPoint<float>();
      value = host.makeFloat(number);
      e.number = number;
    } else if (type == 2 || type == 3) {
      e.bytes = in.ConsumeRandomLengthString(80);
      if (type == 2) e.bytes = e.bytes.c_str();  // a string ends at its first NUL
      value = type == 3 && in.ConsumeBool()
                  ? host.makeByteArray(std::vector<uint8_t>(e.bytes.begin(), e.bytes.end()))
                  : host.makeString(e.bytes);
    } else if (type == 5) {
      e.number = in.ConsumeFloatingPoint<double>();
      value = host.makeFloat(e.number);
    } else if (type == 6) {
      e.number = static_cast<double>(
          in.ConsumeIntegralInRange<int64_t>(-(int64_t{1} << 53), int64_t{1} << 53));
      value = host.makeFloat(e.number);
    } else {
      e.number = in.ConsumeIntegralInRange(-128, 127);
      value = host.makeInteger(static_cast<int32_t>(e.number));
    }
    arguments.emplace_back(key, value);
    expected.push_back(e);
  }
  const HostValue message =
      host.makeList({host.makeString("/typed"), host.makePropList(arguments)});
  std::vector<char> buffer(65536);
  PacketWriter writer(buffer.data(), buffer.size());
  const bool written = encodePacket(world->context, writer, message);
  host.release(message);
  require(written && writer.complete(), "a typed message that fits was not written");

  const osc::ReceivedMessage received(osc::ReceivedPacket(
      writer.data(), static_cast<osc::osc_bundle_element_size_t>(writer.size())));
  require(received.ArgumentCount() == expected.size(), "argument count");
  auto it = received.ArgumentsBegin();
  for (const Expected& e : expected) {
    const std::string at = "argument " + std::to_string(&e - expected.data()) + " tag " + e.tag;
    require(it->TypeTag() == e.tag, "type tag", at + " got " + it->TypeTag());
    const void* blob = nullptr;
    osc::osc_bundle_element_size_t blobSize = 0;
    switch (e.tag) {
      case 'i':
        require(it->AsInt32() == e.number, "int32", at);
        break;
      case 'f':
        require(same(it->AsFloat(), e.number), "float32", at);
        break;
      case 'd':
        require(same(it->AsDouble(), e.number), "double", at);
        break;
      case 'h':
        require(static_cast<double>(it->AsInt64()) == e.number, "int64", at);
        break;
      case 'c':
        require(static_cast<signed char>(it->AsChar()) == e.number, "char", at);
        break;
      case 's':
        require(it->AsString() == e.bytes, "string", at);
        break;
      case 'b':
        it->AsBlob(blob, blobSize);
        require(std::string(static_cast<const char*>(blob), blobSize) == e.bytes, "blob", at);
        break;
      default:
        break;  // T and F: the tag is the value
    }
    ++it;
  }
  require(host.valueTable().liveCount() == liveBefore, "every value released");
  return 0;
}
