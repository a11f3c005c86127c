#include "xtra/sending_control.h"

#include "common/never_throw.h"
#include "send/packet_sender.h"
#include "send/transmit_socket.h"

namespace zephyx::xtra {

send::SendContext sendContextOf(const XtraInstance& instance) {
  return send::SendContext{instance.valueServices, instance.listServices, instance.objectServices,
                           instance.header.memory, instance.held->typeSymbols.get()};
}

void setDestinationFromCall(XtraInstance& instance, const MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr || call.args == nullptr) return;
  if (call.argCount > 1) {
    values->copyString(&call.args[1], instance.destinationHost, DestinationHostSize);
    instance.destinationHost[DestinationHostSize - 1] = '\0';
  }
  if (call.argCount > 2) values->valueToInteger(&call.args[2], &instance.destinationPort);
}

void answerSend(XtraInstance& instance, MethodCall& call, send::DatagramSink& sink,
                int32_t largestPacket) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;
  bool sent = false;
  if (call.argCount > 1 && call.args != nullptr) {
    // Whatever fails while sending, the script still gets its 0.
    sent = neverThrow(false, [&] {
      return send::sendPacket(sendContextOf(instance), instance.bufferSize, call.args[1], sink,
                              largestPacket);
    });
  }
  values->integerToValue(sent ? 1 : 0, &call.result);
}

void sendFromCall(XtraInstance& instance, MethodCall& call) {
  send::TransmitSocket socket(instance.destinationHost, instance.destinationPort,
                              instance.held->multicast);
  answerSend(instance, call, socket);
}

}  // namespace zephyx::xtra
