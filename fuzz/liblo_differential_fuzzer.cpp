// Any bytes as one received OSC message, read by Zephyx (validation and
// conversion into a property list, blobs as byte arrays, with the stand-in
// host) and by liblo's own decoder, lo_message_deserialise. Where liblo
// knows every type tag of the message, the two must agree: what one
// accepts the other accepts, with the same values. The places where they
// differ by design are named in byDesign, each with its reason; an empty
// address and one without '/' are not among them, since liblo's decoder
// takes both. The message
// wrapped in a bundle must get the same verdict from Zephyx as it alone.
#include <lo/lo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "receive/packet_decoding.h"
#include "receive/packet_validation.h"
#include "standin/standin_host.h"

using namespace zephyx;
using namespace zephyx::receive;

namespace {

std::string hexOf(const uint8_t* data, size_t size) {
  std::string out;
  char digits[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, i % 4 == 3 ? "%02x " : "%02x", data[i]);
    out += digits;
  }
  return out;
}

const uint8_t* input = nullptr;
size_t inputSize = 0;

void require(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  std::fprintf(stderr, "liblo differential fuzzer: %s\n%s\ninput: %s\n", what, detail.c_str(),
               hexOf(input, inputSize).c_str());
  std::abort();
}

// Where Zephyx reads a message differently from liblo on purpose, and why;
// nullptr where the two must agree. `fault` is Zephyx's verdict.
const char* byDesign(const uint8_t* data, size_t size, PacketFault fault) {
  if (size >= 1 && data[0] == '#') {
    return "a bundle: liblo's lo_message_deserialise reads messages only";
  }
  if (fault != PacketFault::None) return nullptr;  // every refusal must be liblo's too
  if (data[0] == '\0' && (data[1] != 0 || data[2] != 0 || data[3] != 0)) {
    return "SuperCollider's integer address: a NUL, then the command's number in the rest "
           "of the word, which liblo takes for padding that is not zero";
  }
  const size_t addressEnd = (std::strlen(reinterpret_cast<const char*>(data)) | 3) + 1;
  if (addressEnd == size) {
    return "no type tags: OSC 1.0 asks receivers to take such a message as having no arguments";
  }
  for (size_t tag = addressEnd + 1; tag < size && data[tag] != '\0'; ++tag) {
    if (data[tag] == '[' || data[tag] == ']' || data[tag] == 'r') {
      return "a type liblo does not know: arrays and RGBA colours";
    }
  }
  return nullptr;
}

struct World {
  standin::StandInHost host;
  std::unique_ptr<TypeSymbolTable> table{makeTypeSymbolTable(&host.values())};
  ReceivingServices services{&host.broker()};
  ReceiveSettings settings{&host.broker(), true, true, table.get()};
};

uint32_t bigEndian(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

bool sameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Zephyx's property list against liblo's arguments, one pair per argument
// but for liblo's symbols ('S'), which Zephyx passes over.
void compareArguments(standin::StandInHost& host, const HostValue& body, lo_message message) {
  const standin::ValueSlot* list = host.valueTable().find(body);
  require(list != nullptr && list->kind == KindPropList, "arguments as a property list");
  const char* types = lo_message_get_types(message);
  lo_arg** argv = lo_message_get_argv(message);
  const int count = lo_message_get_argc(message);
  size_t pair = 0;
  for (int i = 0; i < count; ++i) {
    const char type = types[i];
    if (type == LO_SYMBOL) continue;
    require(pair < list->items.size(), "as many arguments as liblo", std::string(1, type));
    const standin::ValueSlot* key = host.valueTable().find(list->keys[pair]);
    const standin::ValueSlot* value = host.valueTable().find(list->items[pair]);
    ++pair;
    require(key != nullptr && value != nullptr, "every pair alive");
    const std::string name = host.symbolName(key->symbol);
    // liblo packs its arguments without aligning them: each is read out.
    const auto* raw = reinterpret_cast<const char*>(argv[i]);
    const auto read = [raw](auto& out) { std::memcpy(&out, raw, sizeof out); };
    int32_t i32 = 0;
    float f32 = 0;
    double f64 = 0;
    int64_t i64 = 0;
    uint8_t midi[4] = {};
    lo_timetag time{};
    const std::string where = std::string("argument ") + std::to_string(i) + " '" + type + "'";
    switch (type) {
      case LO_INT32:
        read(i32);
        require(name == "int32" && value->integer == i32, "int32", where);
        break;
      case LO_FLOAT:
        read(f32);
        require(name == "float32" && sameNumber(value->number, f32), "float32", where);
        break;
      case LO_STRING:
        require(name == "string" && value->text == raw, "string", where);
        break;
      case LO_BLOB: {
        // A deserialised blob holds its size, then its bytes in place.
        read(i32);
        const auto size = static_cast<size_t>(i32);
        const auto* bytes = reinterpret_cast<const uint8_t*>(raw + sizeof i32);
        require(name == "blob" && value->bytes == std::vector<uint8_t>(bytes, bytes + size), "blob",
                where);
        break;
      }
      case LO_TRUE:
      case LO_FALSE:
        require(name == "bool" && value->integer == (type == LO_TRUE ? 1 : 0), "bool", where);
        break;
      case LO_CHAR:
        require(name == "char" && value->integer == static_cast<int8_t>(raw[0]), "char", where);
        break;
      case LO_DOUBLE:
        read(f64);
        require(name == "double" && sameNumber(value->number, f64), "double", where);
        break;
      case LO_INFINITUM:
        require(name == "infinitum" && value->integer == 0, "infinitum", where);
        break;
      case LO_NIL:
        require(name == "nil" && value->integer == 0, "nil", where);
        break;
      case LO_INT64:
        read(i64);
        require(name == "int64" && value->number == static_cast<double>(i64), "int64", where);
        break;
      case LO_MIDI:
        read(midi);
        require(name == "midi" && value->number == bigEndian(midi), "midi", where);
        break;
      case LO_TIMETAG: {
        read(time);
        const uint64_t tag = (uint64_t{time.sec} << 32) | time.frac;
        require(name == "time" && value->number == static_cast<double>(tag), "time", where);
        break;
      }
      default:
        require(false, "a type liblo reads and Zephyx does not know", where);
    }
  }
  require(pair == list->items.size(), "no argument more than liblo");
}

// The message as the only element of a bundle with the time tag 1.
std::vector<char> inBundle(const uint8_t* data, size_t size) {
  static const char header[16] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
  std::vector<char> bundle(header, header + sizeof header);
  const auto length = static_cast<uint32_t>(size);
  for (int shift = 24; shift >= 0; shift -= 8) bundle.push_back(static_cast<char>(length >> shift));
  bundle.insert(bundle.end(), data, data + size);
  return bundle;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  input = data;
  inputSize = size;
  standin::StandInHost& host = world->host;
  const auto* packet = reinterpret_cast<const char*>(data);
  const PacketFault fault = findPacketFault(packet, size);

  // liblo reads its own copy: its decoder takes the bytes as writable.
  std::vector<uint8_t> copy(data, data + size);
  int result = 0;
  lo_message message = size > 0 ? lo_message_deserialise(copy.data(), size, &result) : nullptr;

  const char* reason = byDesign(data, size, fault);
  if (reason == nullptr) {
    require((fault == PacketFault::None) == (message != nullptr),
            fault == PacketFault::None ? "Zephyx accepts what liblo refuses"
                                       : "Zephyx refuses what liblo accepts",
            std::string("Zephyx: ") + (fault == PacketFault::None ? "accepted" : faultText(fault)) +
                ", liblo: " + std::to_string(result));
  }

  if (fault == PacketFault::None && message != nullptr && reason == nullptr) {
    DatagramItems items(&host.values(), Sender{});
    require(decodePacket(packet, size, world->settings, world->services, items) ==
                DecodeResult::Decoded,
            "an accepted message is decoded");
    require(items.size() == 1, "one item for one message");
    const standin::ValueSlot* head = host.valueTable().find(items.items()[0].head);
    require(head != nullptr && head->text == packet, "the address as sent");
    compareArguments(host, items.items()[0].body, message);
  }
  if (message != nullptr) lo_message_free(message);

  // A message is judged alike alone and as a bundle's element.
  if (size > 0 && size % 4 == 0 && data[0] != '#') {
    const std::vector<char> bundle = inBundle(data, size);
    require(findPacketFault(bundle.data(), bundle.size()) == fault, "the same verdict in a bundle",
            faultText(findPacketFault(bundle.data(), bundle.size())));
  }
  return 0;
}
