#include "send/packet_sender.h"

#include <algorithm>

#include "common/owned_value.h"
#include "send/packet_assembly.h"
#include "send/value_reading.h"

namespace zephyx::send {
namespace {

// Frees the packet buffer through the host allocator on every path.
class PacketBuffer {
 public:
  PacketBuffer(IHostMemory* memory, uint32_t size)
      : memory_(memory), data_(static_cast<char*>(memory->allocate(size))) {}
  ~PacketBuffer() { memory_->freeMemory(data_); }
  PacketBuffer(const PacketBuffer&) = delete;
  PacketBuffer& operator=(const PacketBuffer&) = delete;

  char* data() const { return data_; }

 private:
  IHostMemory* memory_;
  char* data_;
};

// A list that describes a packet: its length and its element 1, read once.
// `count` is 0 when it describes none: anything but an address or a time
// tag first would make an empty datagram, which no OSC peer accepts.
struct PacketList {
  int32_t count = 0;
  OwnedValue first;
  int32_t firstKind = KindVoid;
};

PacketList readPacketList(const SendContext& context, const HostValue& messageOrBundle) {
  PacketList packet;
  packet.first = OwnedValue(context.values);
  context.lists->listCount(&messageOrBundle, &packet.count);
  if (packet.count < 1) {
    packet.count = 0;
    return packet;
  }
  context.lists->listGetAt(&messageOrBundle, 1, packet.first.out());
  packet.firstKind = kindOf(context, packet.first.get());
  if (shapeOfKind(packet.firstKind) == ElementShape::Other) packet.count = 0;
  return packet;
}

// Writes the packet that `packet`, read from `messageOrBundle`, describes;
// true when all of it fitted.
bool writeListedPacket(const SendContext& context, PacketWriter& writer,
                       const HostValue& messageOrBundle, const PacketList& packet) {
  if (packet.count == 0) return false;
  writePacketElement(context, writer, messageOrBundle, packet.first.get(), packet.firstKind,
                     packet.count);
  return writer.complete();
}

}  // namespace

bool encodePacket(const SendContext& context, PacketWriter& writer,
                  const HostValue& messageOrBundle) {
  return writeListedPacket(context, writer, messageOrBundle,
                           readPacketList(context, messageOrBundle));
}

bool sendPacket(const SendContext& context, int32_t bufferSize, const HostValue& messageOrBundle,
                DatagramSink& sink, int32_t largestPacket) {
  if (context.values == nullptr || context.lists == nullptr || context.memory == nullptr) {
    return false;
  }
  const PacketList packet = readPacketList(context, messageOrBundle);
  if (packet.count == 0 || bufferSize <= 0) return false;

  // The sink first: a destination that does not resolve costs no buffer.
  if (!sink.open()) return false;

  const auto capacity = static_cast<uint32_t>(std::min(bufferSize, largestPacket));
  PacketBuffer buffer(context.memory, capacity);
  if (buffer.data() == nullptr) return false;
  PacketWriter writer(buffer.data(), capacity);
  if (!writeListedPacket(context, writer, messageOrBundle, packet)) return false;
  return sink.send(writer.data(), writer.size());
}

}  // namespace zephyx::send
