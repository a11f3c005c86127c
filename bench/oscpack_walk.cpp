#include "oscpack_walk.h"

#include <cstring>

namespace zephyx::bench {
namespace {

int64_t walkArguments(const osc::ReceivedMessage& message) {
  int64_t sink = static_cast<int64_t>(std::strlen(message.AddressPattern()));
  for (auto argument = message.ArgumentsBegin(); argument != message.ArgumentsEnd(); ++argument) {
    switch (argument->TypeTag()) {
      case osc::INT32_TYPE_TAG:
        sink += argument->AsInt32();
        break;
      case osc::FLOAT_TYPE_TAG:
        sink += static_cast<int64_t>(argument->AsFloat());
        break;
      case osc::DOUBLE_TYPE_TAG:
        sink += static_cast<int64_t>(argument->AsDouble());
        break;
      case osc::INT64_TYPE_TAG:
        sink += argument->AsInt64();
        break;
      case osc::CHAR_TYPE_TAG:
        sink += argument->AsChar();
        break;
      case osc::MIDI_MESSAGE_TYPE_TAG:
        sink += argument->AsMidiMessage();
        break;
      case osc::TRUE_TYPE_TAG:
      case osc::FALSE_TYPE_TAG:
        sink += argument->AsBool();
        break;
      case osc::STRING_TYPE_TAG:
        sink += static_cast<int64_t>(std::strlen(argument->AsString()));
        break;
      case osc::BLOB_TYPE_TAG: {
        const void* data = nullptr;
        osc::osc_bundle_element_size_t size = 0;
        argument->AsBlob(data, size);
        sink += size;
        break;
      }
      default:
        ++sink;
        break;  // array brackets, nil, infinitum
    }
  }
  return sink;
}

int64_t walkBundle(const osc::ReceivedBundle& bundle) {
  int64_t sink = static_cast<int64_t>(bundle.TimeTag());
  for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element) {
    sink += element->IsBundle() ? walkBundle(osc::ReceivedBundle(*element))
                                : walkArguments(osc::ReceivedMessage(*element));
  }
  return sink;
}

}  // namespace

int64_t walkElement(const osc::ReceivedPacket& packet) {
  return packet.IsBundle() ? walkBundle(osc::ReceivedBundle(packet))
                           : walkArguments(osc::ReceivedMessage(packet));
}

}  // namespace zephyx::bench
