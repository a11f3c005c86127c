#include "send/send_method.h"

#include <algorithm>

#include "send/packet_assembly.h"
#include "send/transmit_socket.h"

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

bool sendPacket(XtraInstance& instance, const HostValue& messageOrBundle) {
  if (instance.listServices == nullptr || instance.header.memory == nullptr) return false;
  int32_t count = 0;
  instance.listServices->listCount(&messageOrBundle, &count);
  if (count < 1) return false;
  if (instance.bufferSize <= 0) return false;
  // Anything but an address or a time tag would make an empty datagram,
  // which no OSC peer accepts.
  if (shapeOfElement(instance, messageOrBundle) == ElementShape::Other) return false;

  TransmitSocket socket;
  if (!socket.open(instance.destinationHost, instance.destinationPort)) return false;

  const auto capacity = static_cast<uint32_t>(std::min(instance.bufferSize, MaxDatagramSize));
  PacketBuffer buffer(instance.header.memory, capacity);
  if (buffer.data() == nullptr) return false;
  PacketWriter writer(buffer.data(), capacity);
  writePacketElement(instance, writer, messageOrBundle, count);
  if (!writer.complete()) return false;
  socket.send(writer.data(), writer.size());
  return true;
}

}  // namespace

void sendMessageOrBundle(XtraInstance& instance, MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  bool sent = false;
  if (call.argCount > 1 && call.args != nullptr) {
    try {
      sent = sendPacket(instance, call.args[1]);
    } catch (...) {
      sent = false;
    }
  }
  values->integerToValue(sent ? 1 : 0, &call.result);
}
