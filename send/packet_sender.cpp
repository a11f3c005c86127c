#include "send/packet_sender.h"

#include <algorithm>

#include "send/packet_assembly.h"
#include "send/transmit_socket.h"

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

// The number of elements of a list that describes a packet, or 0 when it
// describes none: anything but an address or a time tag first would make
// an empty datagram, which no OSC peer accepts.
int32_t packetElementCount(const SendContext& context, const HostValue& messageOrBundle) {
  int32_t count = 0;
  context.lists->listCount(&messageOrBundle, &count);
  if (count < 1) return 0;
  if (shapeOfElement(context, messageOrBundle) == ElementShape::Other) return 0;
  return count;
}

}  // namespace

bool encodePacket(const SendContext& context, PacketWriter& writer,
                  const HostValue& messageOrBundle) {
  const int32_t count = packetElementCount(context, messageOrBundle);
  if (count == 0) return false;
  writePacketElement(context, writer, messageOrBundle, count);
  return writer.complete();
}

bool sendPacket(const SendContext& context, const char* host, int32_t port, int32_t bufferSize,
                const HostValue& messageOrBundle) {
  if (context.values == nullptr || context.lists == nullptr || context.memory == nullptr) {
    return false;
  }
  const int32_t count = packetElementCount(context, messageOrBundle);
  if (count == 0 || bufferSize <= 0) return false;

  // The socket first: a destination that does not resolve costs no buffer.
  TransmitSocket socket;
  if (!socket.open(host, port)) return false;

  const auto capacity = static_cast<uint32_t>(std::min(bufferSize, MaxDatagramSize));
  PacketBuffer buffer(context.memory, capacity);
  if (buffer.data() == nullptr) return false;
  PacketWriter writer(buffer.data(), capacity);
  writePacketElement(context, writer, messageOrBundle, count);
  if (!writer.complete()) return false;
  socket.send(writer.data(), writer.size());
  return true;
}

}  // namespace zephyx::send
