#include "packet_shapes.h"

#include <cstring>

#include "osc/OscOutboundPacketStream.h"
#include "send/packet_sender.h"

namespace zephyx::bench {

const char* const ShapeNames[ShapeCount] = {
    "typed message, 10 mixed args", "plain list of 100 floats", "bundle of 10 msgs, nested arrays"};

std::string lingoText(int shape) {
  if (shape == Typed) {
    return "[\"/synth/voice/3\", [#int32: 60, #float32: 0.75, #string: \"saw\", #bool: 1, "
           "#double: 0.125, #int64: 1099511627776.0, #char: 65, #midi: 9452671, "
           "#blob: <bytes 01 02 03 04 05>, #array: [0.25, 0.5]]]";
  }
  if (shape == Floats) {
    std::string text = "[\"/faders\", [";
    for (int i = 0; i < 100; ++i) text += (i ? ", " : "") + std::to_string(i) + ".5";
    return text + "]]";
  }
  std::string text = "[1, [";
  for (int i = 0; i < 10; ++i) {
    text += (i ? ", " : "") + std::string("[\"/scene/") + std::to_string(i) + "\", [" +
            std::to_string(i) + ", [0.5, [1, \"x\"]]]]";
  }
  return text + "]]";
}

size_t writeDirect(int shape, char* buffer, size_t capacity) {
  osc::OutboundPacketStream stream(buffer, capacity);
  if (shape == Typed) {
    static const char blob[] = {1, 2, 3, 4, 5};
    stream << osc::BeginMessage("/synth/voice/3") << osc::int32(60) << 0.75f << "saw" << true
           << 0.125 << osc::int64(1099511627776LL) << 'A' << osc::MidiMessage(9452671)
           << osc::Blob(blob, 5) << osc::BeginArray << 0.25f << 0.5f << osc::EndArray
           << osc::EndMessage;
  } else if (shape == Floats) {
    stream << osc::BeginMessage("/faders");
    for (int i = 0; i < 100; ++i) stream << static_cast<float>(i + 0.5);
    stream << osc::EndMessage;
  } else {
    static const char* const addresses[] = {"/scene/0", "/scene/1", "/scene/2", "/scene/3",
                                            "/scene/4", "/scene/5", "/scene/6", "/scene/7",
                                            "/scene/8", "/scene/9"};
    stream << osc::BeginBundleImmediate;
    for (int i = 0; i < 10; ++i) {
      stream << osc::BeginMessage(addresses[i]) << osc::int32(i) << osc::BeginArray << 0.5f
             << osc::BeginArray << osc::int32(1) << "x" << osc::EndArray << osc::EndArray
             << osc::EndMessage;
    }
    stream << osc::EndBundle;
  }
  return stream.Size();
}

std::vector<char> directPacket(int shape) {
  std::vector<char> buffer(4096);
  buffer.resize(writeDirect(shape, buffer.data(), buffer.size()));
  return buffer;
}

bool encodesLikeDirect(const send::SendContext& context, const HostValue& value, int shape) {
  std::vector<char> buffer(4096);
  send::PacketWriter writer(buffer.data(), buffer.size());
  const std::vector<char> direct = directPacket(shape);
  return send::encodePacket(context, writer, value) && writer.size() == direct.size() &&
         std::memcmp(writer.data(), direct.data(), direct.size()) == 0;
}

}  // namespace zephyx::bench
